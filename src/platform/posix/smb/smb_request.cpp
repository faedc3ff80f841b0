#include "platform/posix/smb/smb_request.h"

#include "portable/case_fold.h"

namespace vt::posix {

namespace {

const char* KindName(SmbRequest::Kind kind) {
  switch (kind) {
    case SmbRequest::Kind::Serve:
      return "serve";
    case SmbRequest::Kind::Drop:
      return "drop";
    case SmbRequest::Kind::Probe:
      break;
  }
  return "probe";
}

// The longest timeout field: nine digits, about eleven days.
constexpr std::size_t LongestNumber = 9;

}  // namespace

std::string ShareKey(const std::string& server, const std::string& share) {
  return LowerCaseAscii(server + "/" + share);
}

void EncodeSmbRequest(const SmbRequest& request, std::string& bytes) {
  const std::string kind = KindName(request.kind);
  const std::string timeout = std::to_string(request.timeoutMs);
  const std::string* fields[] = {&kind,         &request.server,   &request.share, &request.domain,
                                 &request.user, &request.password, &timeout};
  std::size_t size = 0;
  for (const std::string* field : fields) size += field->size() + 1;
  bytes.clear();
  bytes.reserve(size);
  for (const std::string* field : fields) {
    bytes.append(*field);
    bytes.push_back('\0');
  }
}

std::ptrdiff_t DecodeSmbRequest(const std::string& bytes, SmbRequest& request) {
  std::string kind;
  std::string timeout;
  std::string* fields[] = {&kind,         &request.server,   &request.share, &request.domain,
                           &request.user, &request.password, &timeout};
  std::size_t at = 0;
  for (std::string* field : fields) {
    const std::size_t end = bytes.find('\0', at);
    if (end == std::string::npos) return 0;
    field->assign(bytes, at, end - at);
    at = end + 1;
  }
  if (kind == "serve") {
    request.kind = SmbRequest::Kind::Serve;
  } else if (kind == "drop") {
    request.kind = SmbRequest::Kind::Drop;
  } else if (kind == "probe") {
    request.kind = SmbRequest::Kind::Probe;
  } else {
    return -1;
  }
  if (timeout.empty() || timeout.size() > LongestNumber) return -1;
  request.timeoutMs = 0;
  for (const char digit : timeout) {
    if (digit < '0' || digit > '9') return -1;
    request.timeoutMs = request.timeoutMs * 10 + (digit - '0');
  }
  return static_cast<std::ptrdiff_t>(at);
}

}  // namespace vt::posix
