#include "platform/error.h"

namespace vt {

ProgramError::ProgramError(std::wstring name, const std::wstring& detail)
    : message_(detail.empty() ? std::move(name) : name + L": " + detail) {
  // what() is for diagnostics only; anything beyond ASCII shows as '?'.
  narrow_.reserve(message_.size());
  for (wchar_t c : message_) narrow_.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
}

ProgramError SubscriptOutOfRange(const std::wstring& detail) {
  return ProgramError(L"Subscript out of range", detail);
}

ProgramError Overflow(const std::wstring& detail) {
  return ProgramError(L"Overflow", detail);
}

std::wstring FailedCallText(const std::wstring& call, std::uint32_t error,
                            const std::wstring& text) {
  return call + L" failed: " + std::to_wstring(error) + L" " + text;
}

ProgramError SystemCallFailed(const std::wstring& call, std::uint32_t error,
                              const std::wstring& text) {
  ProgramError failure(FailedCallText(call, error, text), std::wstring());
  failure.systemError_ = error;
  return failure;
}

}  // namespace vt
