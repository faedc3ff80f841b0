// A password made plain lives as briefly as it can, and its memory is overwritten before
// it goes back: the writes go through a volatile pointer, so the compiler cannot drop
// them as writes to memory about to be freed.
#pragma once

#include <string>

namespace vt {

void Wipe(std::wstring& text);
void Wipe(std::string& bytes);

}  // namespace vt
