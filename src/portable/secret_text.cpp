#include "portable/secret_text.h"

namespace vt {

namespace {

template <typename Char>
void Overwrite(std::basic_string<Char>& text) {
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
