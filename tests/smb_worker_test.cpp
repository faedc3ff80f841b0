// The worker that makes every library call of an SMB helper: its calls in order on one
// thread of its own, a caller's deadline counted from the last progress, what becomes
// of a call given up on, and a share dropped while a call of its is held up; and the
// URLs that name files to Samba's client library. No server is needed: the calls here
// never reach one.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/smb/served_shares.h"
#include "platform/posix/smb/smb_client.h"
#include "platform/posix/smb/smb_worker.h"
#include "platform/posix/system/monotonic_clock.h"

namespace vt::posix {
namespace {

// What the calls of one test did, in the order they did it.
struct Record {
  std::mutex mutex;
  std::vector<std::string> steps;
  std::atomic<bool> open{false};  // the gate a held call waits at
  void Add(const std::string& step) {
    const std::lock_guard<std::mutex> lock(mutex);
    steps.push_back(step);
  }
  void AwaitGate() const {
    while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
};

// A call that notes its name (and its thread, when it is the caller's) and answers.
SmbWorker::Work Step(const std::shared_ptr<Record>& record, const std::string& name, int answer) {
  const std::thread::id caller = std::this_thread::get_id();
  return [=] {
    record->Add(std::this_thread::get_id() == caller ? name + " on the caller's thread" : name);
    return answer;
  };
}

TEST(SmbWorker, CallsRunInOrderAndAGivenUpCallIsUndoneOrNeverRun) {
  auto record = std::make_shared<Record>();
  SmbWorker worker;
  EXPECT_EQ(worker.Run(Step(record, "first", 0), 5000), 0);
  EXPECT_EQ(worker.Run(Step(record, "failed", EACCES), 5000), EACCES);

  // A call held up past its deadline (a silent server): its caller goes on with ETIMEDOUT.
  const auto held = [record] {
    record->AwaitGate();
    record->Add("held");
    return 0;
  };
  const std::int64_t start = MonotonicMs();
  EXPECT_EQ(worker.Run(held, 300, Step(record, "held undone", 0)), ETIMEDOUT);
  EXPECT_GE(MonotonicMs() - start, 300);
  // Queued behind it: given up on before it started, it is never run, but a close that
  // nobody waits for is.
  EXPECT_EQ(worker.Run(Step(record, "never", 0), 50, Step(record, "never undone", 0)), ETIMEDOUT);
  worker.Post(Step(record, "close", EIO));
  EXPECT_EQ(worker.Busy(), 3);
  record->open = true;
  EXPECT_EQ(worker.Run(Step(record, "after", 7), 5000), 7);
  EXPECT_EQ(worker.Busy(), 0);

  const std::lock_guard<std::mutex> lock(record->mutex);
  EXPECT_EQ(record->steps,
            (std::vector<std::string>{"first", "failed", "held", "held undone", "close", "after"}));
}

TEST(SmbWorker, ADeadlineCountsFromTheLastProgressNotFromTheCallsAhead) {
  SmbWorker worker;
  // Six callers at once, each call answered in 120 ms, each caller's timeout 300 ms: the
  // last one waits 720 ms in all and is still answered, the server having answered each.
  std::vector<std::future<int>> answers;
  answers.reserve(6);
  for (int i = 0; i < 6; ++i) {
    answers.push_back(std::async(std::launch::async, [&worker, i] {
      return worker.Run(
          [i] {
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
            return 100 + i;
          },
          300);
    }));
  }
  std::vector<int> got;
  got.reserve(answers.size());
  for (auto& answer : answers) got.push_back(answer.get());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<int>{100, 101, 102, 103, 104, 105}));

  // Behind a call the server holds up, a call gives up at its own deadline.
  auto record = std::make_shared<Record>();
  std::thread holder([&worker, record] {
    worker.Run(
        [record] {
          record->AwaitGate();
          return 0;
        },
        60000);
  });
  while (worker.Busy() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::int64_t start = MonotonicMs();
  EXPECT_EQ(worker.Run(Step(record, "behind", 0), 300), ETIMEDOUT);
  const std::int64_t waited = MonotonicMs() - start;
  EXPECT_GE(waited, 300);
  EXPECT_LT(waited, 1000);
  record->open = true;
  holder.join();
}

// The threads and the descriptors of this process, counted in /proc.
std::size_t Entries(const char* folder) {
  std::size_t count = 0;
  DIR* listing = ::opendir(folder);
  while (listing != nullptr && ::readdir(listing) != nullptr) ++count;
  if (listing != nullptr) ::closedir(listing);
  return count;
}

// A held-up call on a share holds the last reference to it when the share is dropped
// and the caller has given up: the share, and its library context, end on the worker
// after that call, and the worker answers the next call at once.
TEST(ServedShares, AShareDroppedWhileACallOfItsIsHeldUpEndsAfterItOnTheWorker) {
  // The helpers' HOME, with the settings a share's context reads.
  char home[] = "/tmp/vodu-smb-home-XXXXXX";
  ASSERT_NE(::mkdtemp(home), nullptr);
  ASSERT_EQ(::mkdir((std::string(home) + "/.smb").c_str(), 0700), 0);
  std::ofstream(std::string(home) + "/" + SignedSettingsFile)
      << "[global]\nname resolve order = host\ndisable netbios = yes\n";
  ::setenv("HOME", home, 1);
  ServedShares shares;
  SmbRequest request{SmbRequest::Kind::Serve, "fileserver", "docu", "", "station", "pass", 3000};
  const auto makeContext = [](const std::shared_ptr<ServedShare>& share) {
    return [share] { return share->Context() != nullptr ? 0 : errno; };
  };
  // A first context made and ended, so that what the library keeps for the process is
  // there before the count.
  shares.Serve(request);
  ASSERT_EQ(shares.Worker().Run(makeContext(shares.Find("DOCU")), 5000), 0);
  shares.Drop("docu");
  ASSERT_EQ(shares.Worker().Run([] { return 0; }, 5000), 0);
  const std::size_t threads = Entries("/proc/self/task");
  const std::size_t descriptors = Entries("/proc/self/fd");

  request.password = "pass";
  shares.Serve(request);
  auto record = std::make_shared<Record>();
  std::shared_ptr<ServedShare> share = shares.Find("docu");
  ASSERT_NE(share, nullptr);
  ASSERT_EQ(shares.Worker().Run(makeContext(share), 5000), 0);
  // The call holds the share, and on its way out asks the worker again, as a file's
  // last reference may: under the worker's own lock that would never return.
  struct AsksOnItsWay {
    SmbWorker* worker;
    ~AsksOnItsWay() { worker->Busy(); }
  };
  auto asks = std::make_shared<AsksOnItsWay>(AsksOnItsWay{&shares.Worker()});
  EXPECT_EQ(shares.Worker().Run(
                [share, record, asks] {
                  record->AwaitGate();
                  return share->Context() != nullptr ? 0 : errno;
                },
                100),
            ETIMEDOUT);
  const std::weak_ptr<ServedShare> watched = share;
  share.reset();
  asks.reset();
  shares.Drop("docu");
  EXPECT_EQ(shares.Find("docu"), nullptr);
  record->open = true;

  // Asked from a thread of its own, so that a worker stuck on itself fails the test.
  std::promise<int> next;
  std::future<int> answered = next.get_future();
  std::thread asker(
      [&shares, &next] { next.set_value(shares.Worker().Run([] { return 5; }, 5000)); });
  if (answered.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    asker.detach();
    FAIL() << "the worker is stuck";
  }
  asker.join();
  EXPECT_EQ(answered.get(), 5);
  EXPECT_EQ(shares.Worker().Busy(), 0);
  EXPECT_EQ(Entries("/proc/self/task"), threads);
  EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
  EXPECT_TRUE(watched.expired()) << "the dropped share is left";
  EXPECT_EQ(std::system(("rm -rf '" + std::string(home) + "'").c_str()), 0);
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
