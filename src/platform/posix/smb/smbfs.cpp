#include "platform/posix/smb/smbfs.h"

#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

#include "platform/posix/smb/answer_channel.h"
#include "platform/posix/smb/smb_request.h"
#include "platform/posix/smb/smbfs_operations.h"
#include "portable/secret_text.h"

namespace vt::posix {

namespace {

// What is read ahead of the request being taken: two requests' worth.
constexpr std::size_t LongestPending = 2 * LongestSmbRequest;

// At most this many of the kernel's calls at once; they wait for the worker in turn.
constexpr int FileSystemThreads = 16;

void Say(const std::string& text) {
  const std::string line = std::string(SmbFsProgram) + ": " + text + "\n";
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

int answers = -1;  // the answer channel

bool AnswerError(int error) {
  return Answer(answers, std::to_string(error));
}

// Takes the program's requests until its end of the pipe closes, then ends the file
// system (the signal reaches the main thread: every other thread blocks it).
void TakeRequests(ServedShares& shares) {
  std::string pending;
  pending.reserve(LongestPending);
  char buffer[512];
  bool good = true;
  while (good) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (pending.size() + static_cast<std::size_t>(got) > LongestPending) {
      Say("a request is longer than any logon");
      break;
    }
    pending.append(buffer, static_cast<std::size_t>(got));  // within the reserve: no copy
    std::memset(buffer, 0, sizeof buffer);
    for (;;) {
      SmbRequest request;
      const std::ptrdiff_t taken = DecodeSmbRequest(pending, request);
      if (taken == 0) {
        Wipe(request.password);
        break;
      }
      if (taken < 0 || request.kind == SmbRequest::Kind::Probe) {
        Wipe(request.password);
        Say("a request that is none");
        good = false;
        break;
      }
      if (request.kind == SmbRequest::Kind::Serve) {
        shares.Serve(request);
      } else {
        shares.Drop(request.share);
      }
      Wipe(request.password);
      // What is left moves to the front within the same buffer; the rest is wiped.
      const std::size_t left = pending.size() - static_cast<std::size_t>(taken);
      std::memmove(&pending[0], &pending[static_cast<std::size_t>(taken)], left);
      std::memset(&pending[left], 0, pending.size() - left);
      pending.resize(left);
      if (!AnswerError(0)) good = false;
    }
  }
  Wipe(pending);
  ::kill(::getpid(), SIGTERM);
}

}  // namespace

int RunSmbFileSystem(int argc, char** argv) {
  answers = TakeAnswerChannel();
  // It holds passwords: no core dump, no debugger of the same user.
  ::prctl(PR_SET_DUMPABLE, 0);
  if (argc != 2 || answers < 0) {
    Say("usage: vodu-tavisto-smbfs MOUNT (started by vodu-tavisto only)");
    return 2;
  }
  // Its worker may still be held up by a silent server when the process ends (_exit).
  static ServedShares shares;
  const fuse_operations operations = SmbFsOperations();
  char name[] = "vodu-tavisto-smbfs";
  char option[] = "-o";
  char options[] = "fsname=vodu-tavisto-smbfs,subtype=vodu-tavisto-smbfs";
  char* arguments[] = {name, option, options, nullptr};
  fuse_args args = FUSE_ARGS_INIT(3, arguments);
  fuse* system = fuse_new(&args, &operations, sizeof operations, &shares);
  if (system == nullptr) {
    AnswerError(EINVAL);
    return 1;
  }
  if (fuse_mount(system, argv[1]) != 0) {
    Say(std::string("cannot mount ") + argv[1]);
    AnswerError(EIO);
    fuse_destroy(system);
    return 1;
  }
  fuse_session* session = fuse_get_session(system);
  if (fuse_set_signal_handlers(session) != 0 || !AnswerError(0)) {
    fuse_unmount(system);
    fuse_destroy(system);
    return 1;
  }
  // Every thread made from here on blocks the signals: they reach the main thread.
  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  std::thread(TakeRequests, std::ref(shares)).detach();
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);

  fuse_loop_config* config = fuse_loop_cfg_create();
  fuse_loop_cfg_set_max_threads(config, FileSystemThreads);
  const int status = fuse_loop_mt(system, config);
  fuse_loop_cfg_destroy(config);
  fuse_remove_signal_handlers(session);
  fuse_unmount(system);
  shares.DropAll();
  // Calls a silent server still holds up are not waited for: the process ends here.
  ::_exit(status < 0 ? 1 : 0);
}

}  // namespace vt::posix
