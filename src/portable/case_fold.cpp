#include "portable/case_fold.h"

#include <cstdint>

namespace vt {

namespace {

struct CasePair {
  std::uint32_t small;
  std::uint32_t capital;
};

constexpr CasePair GreekSingles[] = {
    {0x3AC, 0x386}, {0x3AD, 0x388}, {0x3AE, 0x389}, {0x3AF, 0x38A},
    {0x3CC, 0x38C}, {0x3CD, 0x38E}, {0x3CE, 0x38F}, {0x3C2, 0x3A3},
};

wchar_t UpperCaseChar(wchar_t c) {
  const auto u = static_cast<std::uint32_t>(static_cast<char32_t>(c));
  auto to = [](std::uint32_t v) { return static_cast<wchar_t>(v); };
  if (u >= 'a' && u <= 'z') return to(u - 0x20);
  // Latin-1: all but the division sign; the sharp s has no single upper-case letter.
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return to(u - 0x20);
  if (u == 0xFF) return to(0x178);
  // Latin Extended-A pairs capital and small letter, capital first; from U+0139 to
  // U+0148 and from U+0179 to U+017E the pairs start on an odd code. The dotless i
  // and the long s fold to their ASCII capitals, as Unicode maps them.
  if (u == 0x131) return to('I');
  if (u == 0x17F) return to('S');
  if ((u >= 0x101 && u <= 0x137) || (u >= 0x14B && u <= 0x177)) {
    return (u % 2 == 1) ? to(u - 1) : c;
  }
  if ((u >= 0x13A && u <= 0x148) || (u >= 0x17A && u <= 0x17E)) {
    return (u % 2 == 0) ? to(u - 1) : c;
  }
  // Greek: the accented small letters and the final sigma, then the plain run.
  for (const CasePair& pair : GreekSingles) {
    if (u == pair.small) return to(pair.capital);
  }
  if (u >= 0x3B1 && u <= 0x3CB) return to(u - 0x20);
  // Cyrillic: the basic run, then the letters with marks (U+0450..U+045F).
  if (u >= 0x430 && u <= 0x44F) return to(u - 0x20);
  if (u >= 0x450 && u <= 0x45F) return to(u - 0x50);
  return c;
}

}  // namespace

std::wstring UpperCaseText(const std::wstring& text) {
  std::wstring upper(text);
  for (wchar_t& c : upper) c = UpperCaseChar(c);
  return upper;
}

std::string LowerCaseAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace vt
