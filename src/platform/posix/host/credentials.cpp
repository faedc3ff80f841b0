// Protected passwords on the native host: "cred:NAME" names a credential that systemd
// hands the service (LoadCredential=, LoadCredentialEncrypted=) as the file NAME in the
// folder $CREDENTIALS_DIRECTORY.
#include <cerrno>
#include <cstdlib>

#include "platform/posix/host/posix_platform.h"
#include "platform/posix/profile/file_reading.h"
#include "platform/posix/system/system_error.h"
#include "portable/secret_text.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

const wchar_t* const CredentialPrefix = L"cred:";
const wchar_t* const DpapiPrefix = L"dpapi:";

SystemResult Refused(int error, const std::wstring& why) {
  SystemResult result = ErrnoResult(error);
  result.reason = why;
  return result;
}

// A name that stays inside the credentials folder.
bool IsPlainName(const std::wstring& name) {
  return !name.empty() && name.find(L'/') == std::wstring::npos &&
         name.find(L"..") == std::wstring::npos;
}

}  // namespace

SystemResult PosixPlatform::UnprotectPassword(const std::wstring& value, std::wstring& password) {
  if (value.rfind(DpapiPrefix, 0) == 0) {
    return Refused(EINVAL,
                   L"a dpapi: value can be unprotected on Windows only; this host takes "
                   L"cred:NAME (a systemd credential)");
  }
  if (value.rfind(CredentialPrefix, 0) != 0)
    return Refused(EINVAL, L"this host takes cred:NAME (a systemd credential)");
  const std::wstring name = value.substr(5);
  if (!IsPlainName(name))
    return Refused(EINVAL, L"the credential name \"" + name + L"\" is not a plain file name");
  const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
  if (folder == nullptr || *folder == '\0') {
    return Refused(ENOENT,
                   L"CREDENTIALS_DIRECTORY is not set (systemd sets it for a service "
                   L"with LoadCredential= or LoadCredentialEncrypted=)");
  }
  const std::string path = std::string(folder) + "/" + EncodeUtf8(name);
  FileRead read = ReadWholeFile(path, false);
  if (read.error == 0 && !read.exists) read.error = ENOENT;
  if (read.error != 0) {
    Wipe(read.bytes);
    return Refused(read.error, DecodeUtf8(path) + L": " + ErrnoText(read.error));
  }
  // One trailing line break, as an editor or "echo" leaves it, is not the password's.
  if (!read.bytes.empty() && read.bytes.back() == '\n') read.bytes.pop_back();
  password = DecodeUtf8(read.bytes);
  Wipe(read.bytes);
  return {};
}

}  // namespace vt::posix
