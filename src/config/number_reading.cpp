#include "config/number_reading.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/error.h"
#include "portable/text_rules.h"

namespace vt {

namespace {

bool IsSkipped(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n';
}

// The text without the characters the reading skips wherever they stand.
std::wstring WithoutBlanks(const std::wstring& text) {
  std::wstring compact;
  for (wchar_t c : text) {
    if (!IsSkipped(c)) compact.push_back(c);
  }
  return compact;
}

// &H and &O numbers are whole numbers in hexadecimal or octal digits, read as they
// stand: &HFFFF is 65535, which the 16-bit range then refuses. One too long for any
// range reads as infinite.
double ReadRadixNumber(const std::wstring& digits, int radix) {
  std::uint64_t value = 0;
  for (wchar_t c : digits) {
    const int digit = DigitValue(c);
    if (digit >= radix) break;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return std::numeric_limits<double>::infinity();
  }
  return static_cast<double>(value);
}

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

}  // namespace

double ReadLeadingNumber(const std::wstring& text) {
  const std::wstring s = WithoutBlanks(text);
  if (s.size() >= 2 && s[0] == L'&') {
    if (s[1] == L'H' || s[1] == L'h') return ReadRadixNumber(s.substr(2), 16);
    if (s[1] == L'O' || s[1] == L'o') return ReadRadixNumber(s.substr(2), 8);
    return 0;
  }
  std::string number;
  std::size_t i = 0;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) number.push_back(static_cast<char>(s[i++]));
  bool anyDigit = false;
  while (i < s.size() && IsDigit(s[i])) {
    number.push_back(static_cast<char>(s[i++]));
    anyDigit = true;
  }
  if (i < s.size() && s[i] == L'.') {
    number.push_back('.');
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      number.push_back(static_cast<char>(s[i++]));
      anyDigit = true;
    }
  }
  if (!anyDigit) return 0;
  // An exponent counts only when digits follow it ("1e" reads as 1).
  if (i < s.size() && (s[i] == L'E' || s[i] == L'e' || s[i] == L'D' || s[i] == L'd')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == L'+' || s[j] == L'-'))
      exponent.push_back(static_cast<char>(s[j++]));
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) exponent.push_back(static_cast<char>(s[j++]));
      number += exponent;
    }
  }
  return std::strtod(number.c_str(), nullptr);
}

std::int16_t RoundToInt16(double value, const std::wstring& what) {
  const double rounded = RoundHalfEven(value);
  if (!std::isfinite(rounded) || rounded < -32768.0 || rounded > 32767.0) {
    throw Overflow(what + L" does not fit -32768 to 32767");
  }
  return static_cast<std::int16_t>(rounded);
}

}  // namespace vt
