// Small rules on text and numbers that several places of the program follow alike.
#pragma once

#include <string>

namespace vt {

// Without the spaces at either end (only U+0020: tabs stay).
std::wstring TrimSpaces(const std::wstring& text);
// Without the spaces at the end.
std::wstring TrimTrailingSpaces(const std::wstring& text);

// The nearest whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
// Infinities and NaN come back as they are.
double RoundHalfEven(double value);

}  // namespace vt
