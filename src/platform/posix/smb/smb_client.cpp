#include "platform/posix/smb/smb_client.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

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

std::mutex& SetUpLock() {
  static std::mutex lock;
  return lock;
}

// Samba's thread hooks (lib/util/smb_threads.h), stable since Samba 3.5.
struct SambaThreadHooks {
  int (*createMutex)(const char* name, void** lock, const char* location);
  void (*destroyMutex)(void* lock, const char* location);
  int (*lockMutex)(void* lock, int lockType, const char* location);
  int (*createKey)(const char* name, void** key, const char* location);
  void (*destroyKey)(void** key, const char* location);
  int (*setValue)(void* key, const void* value, const char* location);
  void* (*getValue)(void* key, const char* location);
};
constexpr int SambaLock = 1;  // SMB_THREAD_LOCK; SMB_THREAD_UNLOCK is 2

// A lock or a key the library asks for: allocated as its struct and set up by `init`
// (a pthread call: 0 or an errno); the library gives it back to our Destroy calls.
template <typename Made, typename Init>
int Make(void** made, Init init) {
  auto* thing = static_cast<Made*>(std::malloc(sizeof(Made)));
  if (thing == nullptr) return ENOMEM;
  const int error = init(thing);
  if (error != 0) {
    std::free(thing);
    return error;
  }
  *made = thing;
  return 0;
}

int CreateMutex(const char*, void** lock, const char*) {
  return Make<pthread_mutex_t>(lock,
                               [](pthread_mutex_t* m) { return ::pthread_mutex_init(m, nullptr); });
}

void DestroyMutex(void* lock, const char*) {
  ::pthread_mutex_destroy(static_cast<pthread_mutex_t*>(lock));
  std::free(lock);
}

int LockMutex(void* lock, int lockType, const char*) {
  auto* mutex = static_cast<pthread_mutex_t*>(lock);
  return lockType == SambaLock ? ::pthread_mutex_lock(mutex) : ::pthread_mutex_unlock(mutex);
}

int CreateKey(const char*, void** key, const char*) {
  return Make<pthread_key_t>(key,
                             [](pthread_key_t* k) { return ::pthread_key_create(k, nullptr); });
}

void DestroyKey(void** key, const char*) {
  ::pthread_key_delete(*static_cast<pthread_key_t*>(*key));
  std::free(*key);
  *key = nullptr;
}

// The library asks for a value before it has made the key (is there a frame yet?).
int SetValue(void* key, const void* value, const char*) {
  return key != nullptr ? ::pthread_setspecific(*static_cast<pthread_key_t*>(key), value) : EINVAL;
}

void* GetValue(void* key, const char*) {
  return key != nullptr ? ::pthread_getspecific(*static_cast<pthread_key_t*>(key)) : nullptr;
}

// The library keeps the hooks' address: they live as long as the process.
const SambaThreadHooks Hooks = {CreateMutex, DestroyMutex, LockMutex, CreateKey,
                                DestroyKey,  SetValue,     GetValue};
bool threadsEnabled = false;

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

bool EnableLibraryThreads() {
  using SetHooks = int (*)(const SambaThreadHooks*);
  static const bool enabled = [] {
    const auto set = reinterpret_cast<SetHooks>(::dlsym(RTLD_DEFAULT, "smb_thread_set_functions"));
    return set != nullptr && set(&Hooks) == 0;
  }();
  threadsEnabled = enabled;
  return enabled;
}

std::unique_lock<std::mutex> LibraryTurn() {
  static std::mutex lock;
  return threadsEnabled ? std::unique_lock<std::mutex>() : std::unique_lock<std::mutex>(lock);
}

SMBCCTX* NewSmbContext(int timeoutMs, void* userData, smbc_get_auth_data_with_context_fn logon) {
  const std::lock_guard<std::mutex> lock(SetUpLock());
  SMBCCTX* context = smbc_new_context();
  if (context == nullptr) return nullptr;
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
  const std::lock_guard<std::mutex> lock(SetUpLock());
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
