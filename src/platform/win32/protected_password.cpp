// Protected passwords on Windows: DPAPI blobs, as "dpapi:" and base64 or as the bare
// hexadecimal text that PowerShell's ConvertFrom-SecureString prints.
#include "platform/win32/win32_platform.h"
// after windows.h, which it needs
#include <wincrypt.h>

#include <optional>

#include "portable/base16_64.h"
#include "portable/case_fold.h"

namespace vt::win32 {

namespace {

const wchar_t* const DpapiPrefix = L"DPAPI:";

struct LocalTraits {
  static void* None() { return nullptr; }
  static void Release(void* memory) { ::LocalFree(memory); }
};
using LocalMemory = Owner<LocalTraits>;

// The blob a value holds; nothing when it is neither form.
std::optional<std::string> BlobOf(const std::wstring& value) {
  const std::wstring prefix = UpperCaseText(value.substr(0, 6));
  if (prefix == DpapiPrefix) return DecodeBase64(value.substr(6));
  return DecodeHex(value);
}

// What the usual failures mean for the engineer who made the value.
std::wstring Explained(DWORD error, std::wstring reason) {
  if (error == static_cast<DWORD>(NTE_BAD_KEY_STATE)) {
    reason += L" (NTE_BAD_KEY_STATE: made on another machine, or for another user)";
  } else if (error == static_cast<DWORD>(NTE_BAD_DATA) || error == ERROR_INVALID_DATA) {
    reason += L" (the value was changed or cut)";
  }
  return reason;
}

}  // namespace

SystemResult Win32Platform::UnprotectPassword(const std::wstring& value, std::wstring& password) {
  const std::optional<std::string> blob = BlobOf(value);
  if (!blob || blob->empty()) {
    SystemResult invalid = FailureOf(ERROR_INVALID_DATA);
    invalid.reason = L"neither dpapi: and base64 nor hexadecimal text: " + invalid.reason;
    return invalid;
  }
  DATA_BLOB in{static_cast<DWORD>(blob->size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(blob->data()))};
  DATA_BLOB out{};
  if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out)) {
    const DWORD error = ::GetLastError();
    SystemResult failed = FailureOf(error);
    failed.reason = Explained(error, failed.reason);
    return failed;
  }
  const LocalMemory plain(out.pbData);
  // The password's UTF-16LE bytes, without a terminating NUL.
  password.assign(reinterpret_cast<const wchar_t*>(out.pbData), out.cbData / sizeof(wchar_t));
  ::SecureZeroMemory(out.pbData, out.cbData);
  return {};
}

}  // namespace vt::win32
