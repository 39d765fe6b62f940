#pragma once
// The application's help: an own help file when one is installed, otherwise the help book,
// a folder of HTML pages among the application's resources. Pages open in the user's
// default browser.
#include "framework/platform/PathString.h"

// The help book's folder among the resources, and its start page.
inline constexpr const wchar_t* kHelpBookName = L"help";
inline constexpr const wchar_t* kHelpStartPage = L"index.html";

// Remembers the help file path (HelpFilePath). True when a file exists there; otherwise
// whether the help book is there to fall back to.
bool RegisterHelpBook(const PathString& helpFile);
// Opens the remembered help file when it exists and can be opened. Otherwise opens a page
// of the help book: the start page without a page, the page, or the page at the anchor.
// False when the book or the page is missing or nothing could be opened.
bool OpenHelp(const wchar_t* page, const wchar_t* anchor);
// The file OpenHelp opens for the page (null: the start page): the remembered help file when
// it exists, otherwise the book's page; empty when there is neither. When OpenHelp fails
// with a path here, the page exists but nothing could show it, and the user can be told
// where it is.
PathString HelpPagePath(const wchar_t* page);
