#include "portable/secret_text.h"

namespace vt {

namespace {

// The whole capacity, not only the text: what an earlier, longer value or a string moved
// away left behind the end is overwritten too (resize within the capacity never
// reallocates).
template <typename Char>
void Overwrite(std::basic_string<Char>& text) {
  text.resize(text.capacity());
  volatile Char* characters = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) characters[i] = Char();
  text.clear();
}

}  // namespace

void Wipe(std::wstring& text) {
  Overwrite(text);
}

void Wipe(std::string& bytes) {
  Overwrite(bytes);
}

}  // namespace vt
