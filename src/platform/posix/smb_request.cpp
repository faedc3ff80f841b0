#include "platform/posix/smb_request.h"

namespace vt::posix {

std::string EncodeSmbRequest(const SmbRequest& request) {
  std::string bytes;
  for (const std::string* field :
       {&request.server, &request.share, &request.domain, &request.user, &request.password}) {
    bytes += *field;
    bytes += '\0';
  }
  bytes += std::to_string(request.timeoutMs);
  bytes += '\0';
  return bytes;
}

bool DecodeSmbRequest(const std::string& bytes, SmbRequest& request) {
  std::string* fields[] = {&request.server, &request.share, &request.domain, &request.user,
                           &request.password};
  std::size_t at = 0;
  for (std::string* field : fields) {
    const std::size_t end = bytes.find('\0', at);
    if (end == std::string::npos) return false;
    field->assign(bytes, at, end - at);
    at = end + 1;
  }
  const std::size_t end = bytes.find('\0', at);
  if (end == std::string::npos || end == at || end - at > 9) return false;
  request.timeoutMs = 0;
  for (std::size_t i = at; i < end; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9') return false;
    request.timeoutMs = request.timeoutMs * 10 + (bytes[i] - '0');
  }
  return end + 1 == bytes.size();
}

}  // namespace vt::posix
