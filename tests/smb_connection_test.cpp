// A connection of the SMB file system: its calls in order on one thread of its own, a
// caller that gives up at its deadline, and what becomes of the call it gave up on; and
// the URLs that name files to Samba's client library. No server is needed: the calls
// here never reach one.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/smb/smb_client.h"
#include "platform/posix/smb/smb_connection.h"
#include "platform/posix/system/monotonic_clock.h"

namespace vt::posix {
namespace {

// What the calls of one test did, in the order they did it.
struct Record {
  std::mutex mutex;
  std::vector<std::string> steps;
  std::atomic<bool> open{false};  // the gate the first call waits at
  void Add(const std::string& step) {
    const std::lock_guard<std::mutex> lock(mutex);
    steps.push_back(step);
  }
};

// A call that notes its name (and its thread, when it is not the caller's) and answers.
SmbConnection::Work Step(const std::shared_ptr<Record>& record, const std::string& name, int answer,
                         std::thread::id caller) {
  return [=](SMBCCTX*) {
    record->Add(std::this_thread::get_id() == caller ? name + " on the caller's thread" : name);
    return answer;
  };
}

TEST(SmbConnection, CallsRunInOrderAndAGivenUpCallIsUndoneOrNeverRun) {
  auto record = std::make_shared<Record>();
  const std::thread::id caller = std::this_thread::get_id();
  SmbConnection connection(std::make_shared<SmbLogon>());
  EXPECT_EQ(connection.Run(Step(record, "first", 0, caller), MonotonicMs() + 5000), 0);
  EXPECT_EQ(connection.Run(Step(record, "failed", EACCES, caller), MonotonicMs() + 5000), EACCES);

  // A call held up past its deadline (a silent server): its caller goes on with ETIMEDOUT.
  const auto held = [record](SMBCCTX*) {
    while (!record->open) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    record->Add("held");
    return 0;
  };
  const std::int64_t start = MonotonicMs();
  EXPECT_EQ(connection.Run(held, start + 500, Step(record, "held undone", 0, caller)), ETIMEDOUT);
  EXPECT_GE(MonotonicMs() - start, 500);
  // Queued behind it: given up on before it started, it is never run, but a close (a call
  // that must run) is; an abandoned call that failed has nothing to undo.
  EXPECT_EQ(connection.Run(Step(record, "never", 0, caller), MonotonicMs() + 50,
                           Step(record, "never undone", 0, caller)),
            ETIMEDOUT);
  EXPECT_EQ(connection.Run(Step(record, "close", EIO, caller), MonotonicMs() + 50,
                           Step(record, "close undone", 0, caller), true),
            ETIMEDOUT);
  EXPECT_EQ(connection.Busy(), 3);
  record->open = true;
  EXPECT_EQ(connection.Run(Step(record, "after", 7, caller), MonotonicMs() + 5000), 7);
  EXPECT_EQ(connection.Busy(), 0);

  const std::lock_guard<std::mutex> lock(record->mutex);
  EXPECT_EQ(record->steps,
            (std::vector<std::string>{"first", "failed", "held", "held undone", "close", "after"}));
}

TEST(SmbClient, UrlsEscapeEveryByteTheLibraryReadsAsSyntax) {
  const struct {
    const char* server;
    const char* share;
    const char* path;
    const char* url;
  } cases[] = {
      {"fileserver", "docu", "", "smb://fileserver/docu"},
      {"10.0.0.5", "M1-data_2", "/Sub dir/a~b.txt", "smb://10.0.0.5/M1-data_2/Sub%20dir/a~b.txt"},
      // Each of these would end the path, start a logon or a port, or be read as an escape.
      {"fs", "d", "/a?b@c;d:e%41#f", "smb://fs/d/a%3Fb%40c%3Bd%3Ae%2541%23f"},
      {"fs", "Dökü", "/Übersicht.txt", "smb://fs/D%C3%B6k%C3%BC/%C3%9Cbersicht.txt"},
      {"fs", "a b", "/+&=", "smb://fs/a%20b/%2B%26%3D"},
  };
  for (const auto& c : cases) EXPECT_EQ(SmbUrl(c.server, c.share, c.path), c.url) << c.path;
}

}  // namespace
}  // namespace vt::posix
