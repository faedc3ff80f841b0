#include "app/text.h"

namespace vt {

namespace {

wchar_t UpperChar(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  // Latin-1 lower-case letters, except the division sign and the German sharp s.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
  switch (c) {
    case 0xFF:
      return 0x178;  // y with diaeresis
    case 0x161:
      return 0x160;  // s with caron
    case 0x153:
      return 0x152;  // ligature oe
    case 0x17E:
      return 0x17D;  // z with caron
    default:
      return c;
  }
}

}  // namespace

std::wstring UpperCase(const std::wstring& text) {
  std::wstring upper(text);
  for (wchar_t& c : upper) c = UpperChar(c);
  return upper;
}

std::wstring Numbered(const std::wstring& word, int number) {
  return word + std::to_wstring(number);
}

}  // namespace vt
