#include "platform/posix/smb/smb_client.h"

#include <cerrno>
#include <cstdio>

// Samba's configuration loader keeps some of what it reads for the life of the process:
// not a leak of the programs that link it, so the sanitizers' leak check is not told of it.
// The names are the sanitizer runtime's own.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libtalloc.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
// NOLINTEND(bugprone-reserved-identifier)

namespace vt::posix {

namespace {

void AppendEscaped(std::string& url, const std::string& text) {
  static const char* const Hex = "0123456789ABCDEF";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                       byte == '~' || byte == '/';
    if (plain) {
      url.push_back(c);
    } else {
      url.push_back('%');
      url.push_back(Hex[byte >> 4]);
      url.push_back(Hex[byte & 0x0F]);
    }
  }
}

}  // namespace

SMBCCTX* NewSmbContext(int timeoutMs, void* userData, smbc_get_auth_data_with_context_fn logon,
                       const std::string& settings) {
  // The first context of the process reads $HOME/.smb/smb.conf: a file read after it
  // takes its place. Reading one takes a while: each is read once in a row.
  static std::string lastRead;
  SMBCCTX* context = smbc_new_context();
  if (context == nullptr) return nullptr;
  if (!settings.empty() && settings != lastRead) {
    if (smbc_setConfiguration(context, settings.c_str()) != 0) {
      const int error = SmbError();
      smbc_free_context(context, 1);
      errno = error;
      return nullptr;
    }
    lastRead = settings;
  }
  smbc_setOptionUserData(context, userData);
  smbc_setFunctionAuthDataWithContext(context, logon);
  smbc_setOptionNoAutoAnonymousLogin(context, 1);
  smbc_setTimeout(context, timeoutMs);
  if (smbc_init_context(context) == nullptr) {
    const int error = SmbError();
    smbc_free_context(context, 1);
    errno = error;
    return nullptr;
  }
  return context;
}

void FreeSmbContext(SMBCCTX* context) {
  if (context == nullptr) return;
  smbc_free_context(context, 1);
}

std::string SmbUrl(const std::string& server, const std::string& share, const std::string& path) {
  std::string url = "smb://";
  AppendEscaped(url, server);
  url.push_back('/');
  AppendEscaped(url, share);
  AppendEscaped(url, path);
  return url;
}

void CopyLogonField(const std::string& from, char* to, int size) {
  if (size <= 0) return;
  std::snprintf(to, static_cast<std::size_t>(size), "%s", from.c_str());
}

int SmbError() {
  return errno != 0 ? errno : EIO;
}

}  // namespace vt::posix
