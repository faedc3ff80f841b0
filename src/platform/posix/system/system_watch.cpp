#include "platform/posix/system/system_watch.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <set>
#include <sstream>
#include <vector>

#include "platform/posix/system/proc_file.h"
#include "platform/posix/system/system_error.h"

namespace vt::posix {

namespace {

// The time the system has spent asleep grows by more than this at a resume; a clock
// that is only set (by hand, by NTP) leaves it as it was.
constexpr long long ResumeThresholdNs = 100000000;
constexpr time_t ClockArmedSeconds = std::time_t{365} * 24 * 3600;
constexpr int MaxReadsAtOnce = 1000;

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address->sa_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                sizeof text);
  } else {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                sizeof text);
  }
  return text;
}

// The default routes of a /proc/net route table: rows whose destination and mask (or
// prefix length) are all zero, with their interface.
void AddDefaultRoutes(const char* table, bool ipv6, std::set<std::string>& state) {
  std::istringstream file(ReadProcFile(table));
  std::string line;
  if (!ipv6) std::getline(file, line);  // the header
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::vector<std::string> field;
    for (std::string word; fields >> word;) field.push_back(word);
    if (!ipv6 && field.size() >= 8 && field[1] == "00000000" && field[7] == "00000000") {
      state.insert("route4 " + field[0] + " " + field[2]);
    }
    if (ipv6 && field.size() >= 10 && field[0] == std::string(32, '0') && field[1] == "00" &&
        field[9] != "lo") {
      state.insert("route6 " + field[9] + " " + field[4]);
    }
  }
}

long long NowNs(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// How long the system has slept since it booted.
long long SuspendedNs() {
  return NowNs(CLOCK_BOOTTIME) - NowNs(CLOCK_MONOTONIC);
}

}  // namespace

std::string NetworkSnapshot() {
  std::set<std::string> state;
  ifaddrs* addresses = nullptr;
  if (::getifaddrs(&addresses) == 0) {
    for (const ifaddrs* entry = addresses; entry != nullptr; entry = entry->ifa_next) {
      if (entry->ifa_addr == nullptr) continue;
      const std::string name = entry->ifa_name != nullptr ? entry->ifa_name : "";
      const int family = entry->ifa_addr->sa_family;
      if (family == AF_PACKET) {
        const bool up = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_RUNNING) != 0;
        if (up) state.insert("up " + name);
      } else if (family == AF_INET || family == AF_INET6) {
        state.insert("address " + name + " " + AddressText(entry->ifa_addr));
      }
    }
    ::freeifaddrs(addresses);
  }
  AddDefaultRoutes("/proc/net/route", false, state);
  AddDefaultRoutes("/proc/net/ipv6_route", true, state);
  std::string text;
  for (const std::string& line : state) text += line + "\n";
  return text;
}

SystemResult SystemWatch::Start(EventLoop& loop, std::function<void(SystemEvent)> tell) {
  tell_ = std::move(tell);
  const SystemResult network = StartNetwork(loop);
  const SystemResult resume = StartResume(loop);
  return network.Succeeded() ? resume : network;
}

SystemResult SystemWatch::StartNetwork(EventLoop& loop) {
  netlink_.Reset(::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE));
  if (!netlink_.valid()) return ErrnoCallFailure(L"socket(NETLINK_ROUTE)", errno);
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE;
  if (::bind(netlink_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    SystemResult failed = ErrnoCallFailure(L"bind(NETLINK_ROUTE)", errno);
    netlink_.Reset();
    return failed;
  }
  network_ = NetworkSnapshot();
  loop.Watch(netlink_.get(), [this] { OnNetworkReady(); });
  return {};
}

void SystemWatch::OnNetworkReady() {
  // Everything that came is read; a full socket (ENOBUFS) lost some, which the snapshot
  // makes up for.
  // A storm that never stops is read in part now, and the rest at the next turn.
  char buffer[16384];
  for (int read = 0; read < MaxReadsAtOnce; ++read) {
    const ssize_t n = ::recv(netlink_.get(), buffer, sizeof buffer, 0);
    if (n > 0 || (n < 0 && (errno == EINTR || errno == ENOBUFS))) continue;
    break;
  }
  std::string now = NetworkSnapshot();
  if (now == network_) return;
  network_ = std::move(now);
  tell_(SystemEvent::NetworkChanged);
}

bool SystemWatch::ArmClock() {
  // A real-time timer far away that the kernel cancels whenever the clock jumps, as it
  // does at a resume.
  itimerspec when{};
  when.it_value.tv_sec = std::time(nullptr) + ClockArmedSeconds;
  suspendedNs_ = SuspendedNs();
  return ::timerfd_settime(clock_.get(), TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when,
                           nullptr) == 0;
}

SystemResult SystemWatch::StartResume(EventLoop& loop) {
  clock_.Reset(::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!clock_.valid()) return ErrnoCallFailure(L"timerfd_create", errno);
  if (!ArmClock()) {
    SystemResult failed = ErrnoCallFailure(L"timerfd_settime", errno);
    clock_.Reset();
    return failed;
  }
  loop.Watch(clock_.get(), [this] { OnClockReady(); });
  return {};
}

void SystemWatch::OnClockReady() {
  std::uint64_t expirations = 0;
  const ssize_t n = ::read(clock_.get(), &expirations, sizeof expirations);
  if (n < 0 && errno == EAGAIN) return;
  const long long before = suspendedNs_;
  ArmClock();
  // Only a jump with time asleep behind it is a resume.
  if (n < 0 && errno == ECANCELED && suspendedNs_ - before > ResumeThresholdNs) {
    tell_(SystemEvent::Resumed);
  }
}

}  // namespace vt::posix
