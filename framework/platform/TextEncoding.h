#pragma once
// The process-wide text encodings and a few small numeric helpers shared by several
// subsystems.
#include <string>
#include <string_view>

#include "toolbox/TextCodec.h"

// Encoding of documents (XML headers name it "UTF-8").
toolbox::StringEncoding GetDocumentEncoding();
const wchar_t* GetDocumentEncodingName();

// Encoding of narrow file names and of every narrow string handed to the operating system
// (paths, URLs, the environment): UTF-8.
toolbox::StringEncoding GetFileNameEncoding();

// Mac Roman, for stored formats that need an 8-bit form. Each character Mac Roman lacks
// becomes '?'; the rest of the text is kept.
std::string WideToMacRoman(std::wstring_view text);
std::wstring MacRomanToWide(std::string_view bytes);

// The runtime library's next random number (seeded once at start-up).
int Random();

// Signed distance of (px, py) from the line through (x1, y1) and (x2, y2); positive on the
// left of the direction from the first point to the second. 0 when the two points
// coincide (there is no line).
double DistanceToLine(double px, double py, double x1, double y1, double x2, double y2);

// Writes "????????" followed by two zero bytes: the type and creator text of a file
// without a known type and creator.
void SetUnknownTypeCreator(char field[10]);
