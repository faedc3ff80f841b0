// Failures of the host's system calls, named as the program names every failure.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/error.h"
#include "platform/platform.h"
#include "portable/codepage.h"

namespace vt::posix {

// The system's text for an errno value.
inline std::wstring ErrnoText(int error) {
  return DecodeCp1252(std::strerror(error));
}

// What kind of failure an errno value is, for the calls of this host (a refused logon
// is told apart where an SMB connect is judged).
inline FailureKind ErrnoKind(int error) {
  switch (error) {
    case EEXIST:
      return FailureKind::LetterInUse;
    case ENOENT:
    case ENOTDIR:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ETIMEDOUT:
    case ECONNREFUSED:
    case ENXIO:
      return FailureKind::Unreachable;
    default:
      return FailureKind::Other;
  }
}

// A failure as the platform interface reports it.
inline SystemResult ErrnoResult(int error) {
  return {static_cast<std::uint32_t>(error), ErrnoText(error), ErrnoKind(error)};
}

// A failure that names its call: "timerfd_create failed: 24 Too many open files".
inline SystemResult ErrnoCallFailure(const wchar_t* call, int error) {
  SystemResult result = ErrnoResult(error);
  result.reason = FailedCallText(call, static_cast<std::uint32_t>(error), result.reason);
  return result;
}

// Throws the program's error for `call` with errno and its text when `failed`.
inline void ThrowErrnoIf(bool failed, const wchar_t* call) {
  if (!failed) return;
  const int error = errno;
  throw SystemCallFailed(call, static_cast<std::uint32_t>(error), ErrnoText(error));
}

}  // namespace vt::posix
