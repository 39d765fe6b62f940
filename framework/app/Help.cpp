#include "framework/app/Help.h"

#include "framework/platform/Bundle.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/SystemServices.h"
#include "toolbox/Launch.h"
#include "toolbox/Utf8.h"

namespace {

// The help book's folder; false when the resources hold none.
bool HelpBookFolder(PathString& out) {
  PathString folder;
  if (!GetBundleResourcePath(folder, kHelpBookName) || !IsFolder(folder)) return false;
  out = EnsureTrailingSlash(folder);
  return true;
}

// A page name stays inside the book.
bool AcceptablePage(const std::wstring& page) {
  if (page.empty() || page[0] == L'/') return false;
  size_t start = 0;
  while (start <= page.size()) {
    const size_t slash = std::min(page.find(L'/', start), page.size());
    if (page.compare(start, slash - start, L"..") == 0 && slash - start == 2) return false;
    start = slash + 1;
  }
  return true;
}

// The help book's page; empty when the book or the page is missing.
PathString BookPagePath(const wchar_t* page) {
  PathString book;
  if (!HelpBookFolder(book)) return PathString();
  const std::wstring name = page ? std::wstring(page) : std::wstring(kHelpStartPage);
  if (!AcceptablePage(name)) return PathString();
  const PathString file = book + name;
  return PathExists(file) ? file : PathString();
}

}  // namespace

bool RegisterHelpBook(const PathString& helpFile) {
  HelpFilePath = helpFile;
  if (PathExists(helpFile)) return true;
  PathString book;
  return HelpBookFolder(book);
}

PathString HelpPagePath(const wchar_t* page) {
  if (!HelpFilePath.empty() && PathExists(HelpFilePath)) return HelpFilePath;
  return BookPagePath(page);
}

bool OpenHelp(const wchar_t* page, const wchar_t* anchor) {
  if (!HelpFilePath.empty() && PathExists(HelpFilePath) && OpenFileViaFinder(HelpFilePath))
    return true;
  const PathString file = BookPagePath(page);
  if (file.empty()) return false;
  std::string uri = toolbox::FileUriFromPath(toolbox::WideToUtf8(file));
  if (page && anchor && *anchor) {
    // The anchor is escaped like a path, so it cannot end or extend the URI.
    const std::string escaped = toolbox::FileUriFromPath("/" + toolbox::WideToUtf8(anchor));
    uri += "#" + escaped.substr(std::string("file:///").size());
  }
  return toolbox::OpenUri(uri);
}
