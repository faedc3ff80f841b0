// Reading a number from the start of a text, as the check interval is written.
#pragma once

#include <cstdint>
#include <string>

namespace vt {

// The number at the start of `text`: blanks, tabs and line feeds are skipped wherever
// they stand; an optional sign, digits, one decimal point and an optional exponent;
// or &H / &O followed by hexadecimal / octal digits. 0 when the text holds no number.
double ReadLeadingNumber(const std::wstring& text);

// `value` rounded to the nearest whole number, halves to the even one. Throws the
// overflow error, naming `what`, when the result does not fit -32768 to 32767.
std::int16_t RoundToInt16(double value, const std::wstring& what);

}  // namespace vt
