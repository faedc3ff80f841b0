// Small rules on text and numbers that several places of the program follow alike.
#pragma once

#include <string>

namespace vt {

// Without the spaces at either end (only U+0020: tabs stay).
std::wstring TrimSpaces(const std::wstring& text);

// One letter A to Z in either case, as a drive is named without its colon ("K").
bool IsDriveLetter(const std::wstring& drive);

// The value of a digit in any base up to 36 ("0"-"9", then "a"-"z" in either case);
// 99 for a character that is no digit.
int DigitValue(wchar_t c);

// The nearest whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
// Infinities and NaN come back as they are.
double RoundHalfEven(double value);

}  // namespace vt
