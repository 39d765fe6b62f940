#include "framework/platform/TextEncoding.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

toolbox::StringEncoding GetDocumentEncoding() { return toolbox::StringEncoding::kUtf8; }

const wchar_t* GetDocumentEncodingName() { return L"UTF-8"; }

toolbox::StringEncoding GetFileNameEncoding() { return toolbox::StringEncoding::kUtf8; }

std::string WideToMacRoman(std::wstring_view text) {
  return toolbox::EncodeText(text, toolbox::StringEncoding::kMacRoman);
}

std::wstring MacRomanToWide(std::string_view bytes) {
  return toolbox::DecodeText(bytes, toolbox::StringEncoding::kMacRoman);
}

int Random() { return std::rand(); }

double DistanceToLine(double px, double py, double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  // The length is taken in single precision, as the gradient code has always measured it.
  const double length = std::sqrt(static_cast<float>(dx * dx + dy * dy));
  if (length == 0.0) return 0.0;
  return ((y1 - y2) * px + (x2 - x1) * py + (y2 * x1 - y1 * x2)) / length;
}

void SetUnknownTypeCreator(char field[10]) {
  std::memcpy(field, "????????", 8);
  field[8] = 0;
  field[9] = 0;
}
