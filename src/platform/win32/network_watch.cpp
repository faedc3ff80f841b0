#include "platform/win32/network_watch.h"

#include <algorithm>
#include <vector>

#include "platform/win32/system_error.h"

namespace vt::win32 {

namespace {

// The addresses a socket's family has now, sorted, as one text to compare; empty when
// the list cannot be had (Wine answers no list where it finds no adapter).
std::string AddressList(SOCKET socket) {
  std::vector<char> buffer(16384);
  DWORD bytes = 0;
  if (::WSAIoctl(socket, SIO_ADDRESS_LIST_QUERY, nullptr, 0, buffer.data(),
                 static_cast<DWORD>(buffer.size()), &bytes, nullptr, nullptr) == SOCKET_ERROR) {
    return std::string();
  }
  const auto* list = reinterpret_cast<const SOCKET_ADDRESS_LIST*>(buffer.data());
  std::vector<std::string> addresses;
  for (INT i = 0; i < list->iAddressCount; ++i) {
    const SOCKET_ADDRESS& address = list->Address[i];
    addresses.emplace_back(reinterpret_cast<const char*>(address.lpSockaddr),
                           static_cast<std::size_t>(address.iSockaddrLength));
  }
  std::sort(addresses.begin(), addresses.end());
  std::string text = "list\n";  // never empty: an empty list is a list
  for (const std::string& address : addresses) text += address + '\n';
  return text;
}

}  // namespace

NetworkWatch::~NetworkWatch() {
  for (Family& family : families_) {
    if (family.socket != INVALID_SOCKET) ::closesocket(family.socket);
    if (family.event != WSA_INVALID_EVENT) ::WSACloseEvent(family.event);
  }
  if (started_) ::WSACleanup();
}

SystemResult NetworkWatch::Open(Family& family, int addressFamily) {
  family.socket =
      ::WSASocketW(addressFamily, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_OVERLAPPED);
  if (family.socket == INVALID_SOCKET) return CallFailure(L"WSASocketW", ::WSAGetLastError());
  family.event = ::WSACreateEvent();
  if (family.event == WSA_INVALID_EVENT) return CallFailure(L"WSACreateEvent", ::WSAGetLastError());
  family.addresses = AddressList(family.socket);
  return Arm(family);
}

SystemResult NetworkWatch::Arm(Family& family) {
  family.overlapped = WSAOVERLAPPED{};
  family.overlapped.hEvent = family.event;
  DWORD bytes = 0;
  if (::WSAIoctl(family.socket, SIO_ADDRESS_LIST_CHANGE, nullptr, 0, nullptr, 0, &bytes,
                 &family.overlapped, nullptr) == SOCKET_ERROR &&
      ::WSAGetLastError() != WSA_IO_PENDING) {
    return CallFailure(L"WSAIoctl(SIO_ADDRESS_LIST_CHANGE)", ::WSAGetLastError());
  }
  return {};
}

void NetworkWatch::OnCompleted(Family& family) {
  // The event is a manual-reset one: reset before the next request can set it again.
  ::WSAResetEvent(family.event);
  Arm(family);
  std::string now = AddressList(family.socket);
  // The same list again changed nothing; a list that cannot be had may hide a change.
  if (!now.empty() && now == family.addresses) return;
  family.addresses = std::move(now);
  changed_();
}

SystemResult NetworkWatch::Start(EventSources& sources, std::function<void()> changed) {
  changed_ = std::move(changed);
  WSADATA data{};
  if (const int error = ::WSAStartup(MAKEWORD(2, 2), &data); error != 0)
    return CallFailure(L"WSAStartup", static_cast<DWORD>(error));
  started_ = true;
  const SystemResult ipv4 = Open(families_[0], AF_INET);
  if (!ipv4.Succeeded()) return ipv4;
  sources.Watch(families_[0].event, [this] { OnCompleted(families_[0]); });
  // A station without IPv6 has no such socket: the IPv4 watch is enough there.
  if (Open(families_[1], AF_INET6).Succeeded())
    sources.Watch(families_[1].event, [this] { OnCompleted(families_[1]); });
  return {};
}

}  // namespace vt::win32
