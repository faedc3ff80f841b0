// A connect over SMB as the native host makes it: the logon as Windows reads UserN, the
// verdict of the probe helper within the connect's deadline, and the reason a station
// engineer reads for each failure.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/posix/smb/smb_request.h"

namespace vt::posix {

// "DOMAIN\user" is the user of that domain; "user@domain" (a user principal name) and a
// plain name go to the server as they stand, as Windows hands them on. An empty user is
// this host's user, as Windows then logs on as the user of the session.
void SetLogon(const std::wstring& user, SmbRequest& request);

// Asks the probe (smb_probe.h; HOME `home`, where its client settings are) for the
// verdict on `request`, and kills it when the monotonic clock reaches `deadline` (ms).
// The password is wiped in `request` once it is handed over. The errno of the verdict
// (0: connected), ETIMEDOUT at the deadline; a probe that gives no verdict is EPROTO and
// `problem` says why.
int ProbeSmbShare(SmbRequest& request, const std::string& home, std::int64_t deadline,
                  std::wstring& problem);

// The failure that a verdict of `error` is, with a reason that names the server, the
// share and the user (as configured) and says what happened; `timeoutMs` is the time
// the connect had.
SystemResult SmbFailure(int error, const std::wstring& server, const std::wstring& share,
                        const std::wstring& user, std::int64_t timeoutMs);

}  // namespace vt::posix
