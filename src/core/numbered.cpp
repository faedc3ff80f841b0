#include "core/numbered.h"

namespace vt {

std::wstring Numbered(const std::wstring& word, int number) {
  return word + std::to_wstring(number);
}

}  // namespace vt
