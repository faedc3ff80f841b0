// The native host's profile service on real files: nothing half-written, nothing lost,
// nothing of another program's harmed, whichever system call fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/posix/profile/atomic_file.h"
#include "platform/posix/profile/profile_store.h"
#include "platform/posix/system/file_calls.h"

namespace vt::posix {
namespace {

// --- making one system call fail ----------------------------------------------------

struct Fault {
  std::string call;              // which call fails
  int error = 0;                 // with which errno
  int skip = 0;                  // after this many calls that succeed
  int times = 1;                 // this many times (-1: from then on)
  std::function<void()> before;  // runs instead of failing, once: another program's turn
};
Fault fault;

bool Failing(const char* call) {
  if (fault.call != call || fault.times == 0) return false;
  if (fault.skip > 0) {
    --fault.skip;
    return false;
  }
  if (fault.before) {
    auto action = std::move(fault.before);
    fault = Fault{};
    action();
    return false;
  }
  if (fault.times > 0) --fault.times;
  errno = fault.error;
  return true;
}

const FileCalls Faulty = {
    [](const char* p, int f, mode_t m) {
      return Failing("open") ? -1 : SystemFileCalls().open(p, f, m);
    },
    [](int fd, void* b, std::size_t n) -> ssize_t {
      return Failing("read") ? -1 : SystemFileCalls().read(fd, b, n);
    },
    [](int fd, const void* b, std::size_t n) -> ssize_t {
      return Failing("write") ? -1 : SystemFileCalls().write(fd, b, n);
    },
    [](int fd) { return Failing("fsync") ? -1 : SystemFileCalls().fsync(fd); },
    [](int fd) {
      const int result = SystemFileCalls().close(fd);  // a failing close still closes
      return Failing("close") ? -1 : result;
    },
    [](const char* a, const char* b) {
      return Failing("rename") ? -1 : SystemFileCalls().rename(a, b);
    },
    [](const char* p) { return Failing("unlink") ? -1 : SystemFileCalls().unlink(p); },
    [](char* p) { return Failing("mkstemp") ? -1 : SystemFileCalls().mkstemp(p); },
    [](int fd, mode_t m) { return Failing("fchmod") ? -1 : SystemFileCalls().fchmod(fd, m); },
    [](int fd, struct stat* s) { return Failing("fstat") ? -1 : SystemFileCalls().fstat(fd, s); },
    [](const char* p, struct stat* s) {
      return Failing("lstat") ? -1 : SystemFileCalls().lstat(p, s);
    },
    [](int fd) { return Failing("lock") ? -1 : SystemFileCalls().lock(fd); },
    [](const char* p) { return Failing("opendir") ? nullptr : SystemFileCalls().opendir(p); },
    [](DIR* d) { return Failing("readdir") ? nullptr : SystemFileCalls().readdir(d); },
    [](DIR* d) {
      const int result = SystemFileCalls().closedir(d);
      return Failing("closedir") ? -1 : result;
    },
};

class ProfileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vodu-profile-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    FileCallTable() = Faulty;
    fault = Fault{};
  }
  void TearDown() override {
    FileCallTable() = SystemFileCalls();
    fault = Fault{};
    EXPECT_EQ(std::system(("chmod -R u+rwx '" + folder_ + "'; rm -rf '" + folder_ + "'").c_str()),
              0);
  }
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  // A file as the station left it: last changed `ageSeconds` ago.
  void Put(const std::string& name, const std::string& bytes, int ageSeconds = 10) const {
    Rewrite(name, bytes);
    const timespec when[2] = {{::time(nullptr) - ageSeconds, 0}, {::time(nullptr) - ageSeconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path(name).c_str(), when, AT_SYMLINK_NOFOLLOW), 0);
  }
  // Another program rewrites the file in place now: truncate, then write.
  void Rewrite(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
  }
  // The names in the folder, one per line, sorted.
  std::string Entries() const {
    const std::string list = folder_ + ".ls";
    EXPECT_EQ(std::system(("ls -A '" + folder_ + "' > '" + list + "'").c_str()), 0);
    std::ifstream file(list);
    std::stringstream names;
    names << file.rdbuf();
    ::unlink(list.c_str());
    return names.str();
  }
  SystemResult WriteAndCommit(ProfileStore& store, const std::wstring& key,
                              const std::wstring& value, const std::string& name = "status.ini") {
    SystemResult written = store.Write(Path(name), L"S", key, value);
    if (!written.Succeeded()) return written;
    return store.Commit();
  }
  std::string folder_;
};

TEST_F(ProfileStoreTest, ReadsWithoutRegardToCaseAndSeesAFileChangedOnDisk) {
  ProfileStore store;
  Put("Program.ini", "[project]\r\nnumberofmachines=2\r\n");
  EXPECT_EQ(store.Read(Path("Program.ini"), L"Project", L"NumberOfMachines"), L"2");
  EXPECT_EQ(store.Read(Path("missing.ini"), L"Project", L"x"), std::nullopt);
  // Another program rewrites the file (another size): the next read sees it.
  Put("Program.ini", "[project]\r\nnumberofmachines=10\r\n");
  EXPECT_EQ(store.Read(Path("Program.ini"), L"Project", L"NumberOfMachines"), L"10");
}

TEST_F(ProfileStoreTest, HeldBackWritesReadBackAndLandAsOneReplaceThatKeepsEveryOtherByte) {
  const std::string before =
      "; written by the station\r\n[S]\r\nk1=false\r\nk2=true\r\n\r\n[T]\r\nk1=true\r\n";
  Put("status.ini", before);
  ProfileStore store;
  ASSERT_TRUE(store.Write(Path("status.ini"), L"S", L"k1", L"true").Succeeded());
  ASSERT_TRUE(store.Write(Path("status.ini"), L"S", L"k3", L"false").Succeeded());
  EXPECT_EQ(store.Read(Path("status.ini"), L"S", L"k1"), L"true");
  EXPECT_EQ(Get("status.ini"), before);  // nothing written yet
  ASSERT_TRUE(store.Commit().Succeeded());
  EXPECT_EQ(Get("status.ini"),
            "; written by the station\r\n[S]\r\nk1=true\r\nk2=true\r\nk3=false\r\n\r\n[T]\r\n"
            "k1=true\r\n");
  EXPECT_EQ(Entries(), "status.ini\n");  // no temporary file beside it
  EXPECT_FALSE(store.HasHeldBackWrites());
}

TEST_F(ProfileStoreTest, CreatesTheFileWhenItsFolderExistsAndKeepsPermissions) {
  ProfileStore store;
  ASSERT_TRUE(WriteAndCommit(store, L"k", L"v", "new.ini").Succeeded());
  EXPECT_EQ(Get("new.ini"), "[S]\r\nk=v\r\n");
  EXPECT_FALSE(store.Write(Path("no/such/folder.ini"), L"S", L"k", L"v").Succeeded());
  Put("kept.ini", "[S]\nk=old\n");
  ASSERT_EQ(::chmod(Path("kept.ini").c_str(), 0640), 0);
  ASSERT_TRUE(WriteAndCommit(store, L"k", L"new", "kept.ini").Succeeded());
  struct stat info {};
  ASSERT_EQ(::stat(Path("kept.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(ProfileStoreTest, AUtf16FileStaysUtf16) {
  const std::string bytes("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0o\0\r\0\n\0", 22);
  Put("u.ini", bytes);
  ProfileStore store;
  EXPECT_EQ(store.Read(Path("u.ini"), L"S", L"k"), L"o");
  ASSERT_TRUE(WriteAndCommit(store, L"k", L"\u010c", "u.ini").Succeeded());
  EXPECT_EQ(Get("u.ini"), std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\x0C\x01\r\0\n\0", 22));
}

// --- every system call failing in turn ---------------------------------------------

TEST_F(ProfileStoreTest, AFailingCallLeavesTheOldFileWholeNoTemporaryAndSaysSo) {
  const std::string old = "[S]\r\nk=old\r\nother=kept\r\n";
  for (const char* call : {"open", "fstat", "lock", "mkstemp", "fchmod", "write", "fsync", "close",
                           "lstat", "rename"}) {
    for (int error : {ENOSPC, EIO, EACCES}) {
      Put("status.ini", old);
      ProfileStore store;
      ASSERT_TRUE(store.Write(Path("status.ini"), L"S", L"k", L"new").Succeeded()) << call;
      fault = Fault{call, error, 0, -1, {}};
      const SystemResult committed = store.Commit();
      fault = Fault{};
      EXPECT_FALSE(committed.Succeeded()) << call << " " << error;
      EXPECT_EQ(Get("status.ini"), old) << call << " " << error;
      EXPECT_EQ(Entries(), "status.ini\n") << call << " " << error;
      // Once the fault is gone the next write lands.
      ASSERT_TRUE(WriteAndCommit(store, L"k", L"new").Succeeded()) << call << " " << error;
      EXPECT_EQ(Get("status.ini"), "[S]\r\nk=new\r\nother=kept\r\n") << call << " " << error;
    }
  }
}

TEST_F(ProfileStoreTest, AFileWrittenWholeIsReplacedOrLeftAsItWasWhicheverCallFails) {
  Put("metrics.prom", "old\n");
  ASSERT_EQ(::chmod(Path("metrics.prom").c_str(), 0640), 0);
  for (const char* call :
       {"open", "fstat", "lock", "mkstemp", "fchmod", "write", "fsync", "close", "rename"}) {
    fault = Fault{call, EIO, 0, -1, {}};
    const ReplaceResult failed = ReplaceFileAtomically(Path("metrics.prom"), "new\n", nullptr);
    fault = Fault{};
    EXPECT_EQ(failed.outcome, ReplaceResult::Outcome::Failed) << call;
    EXPECT_EQ(failed.failure.error, static_cast<std::uint32_t>(EIO)) << call;
    EXPECT_EQ(Get("metrics.prom"), "old\n") << call;
    EXPECT_EQ(Entries(), "metrics.prom\n") << call;
  }
  // A folder that cannot be listed for leftovers is no reason not to write.
  fault = Fault{"opendir", EACCES, 0, -1, {}};
  EXPECT_EQ(ReplaceFileAtomically(Path("metrics.prom"), "new\n", nullptr).outcome,
            ReplaceResult::Outcome::Replaced);
  fault = Fault{};
  EXPECT_EQ(Get("metrics.prom"), "new\n");
  struct stat info {};
  ASSERT_EQ(::stat(Path("metrics.prom").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(ProfileStoreTest, AFolderThatCannotBeFlushedAfterTheRenameIsSaidAsWhatItIs) {
  Put("status.ini", "[S]\r\nk=old\r\n");
  ProfileStore store;
  ASSERT_TRUE(store.Write(Path("status.ini"), L"S", L"k", L"new").Succeeded());
  fault = Fault{"fsync", EIO, 1, 1, {}};  // the file's flush works, the folder's fails
  const SystemResult committed = store.Commit();
  EXPECT_EQ(committed.error, static_cast<std::uint32_t>(EIO));
  EXPECT_NE(committed.reason.find(L"the new file is in place"), std::wstring::npos);
  EXPECT_EQ(Get("status.ini"), "[S]\r\nk=new\r\n");
  // It is in place: the next write builds on it without reading it again.
  fault = Fault{"open", EIO, 0, -1, {}};
  EXPECT_TRUE(store.Write(Path("status.ini"), L"S", L"k2", L"v").Succeeded());
  fault = Fault{};
}

TEST_F(ProfileStoreTest, ValuesOfACommitThatFailedAreWrittenAgainNextTime) {
  ProfileStore store;
  ASSERT_TRUE(store.Write(Path("new.ini"), L"S", L"k", L"true").Succeeded());
  fault = Fault{"rename", ENOSPC, 0, 1, {}};
  EXPECT_FALSE(store.Commit().Succeeded());
  // The same value again: it was never stored, so it is written now.
  EXPECT_TRUE(WriteAndCommit(store, L"k", L"true", "new.ini").Succeeded());
  EXPECT_EQ(Get("new.ini"), "[S]\r\nk=true\r\n");
}

TEST_F(ProfileStoreTest, AFileThatCannotBeReadIsNeverReplaced) {
  for (const char* call : {"lstat", "open", "fstat", "read"}) {
    Put("status.ini", "[S]\r\nk=old\r\n");
    ProfileStore store;
    fault = Fault{call, EIO, 0, -1, {}};
    EXPECT_FALSE(store.Write(Path("status.ini"), L"S", L"k", L"new").Succeeded()) << call;
    EXPECT_TRUE(store.Commit().Succeeded()) << call;  // nothing held back
    fault = Fault{};
    EXPECT_EQ(Get("status.ini"), "[S]\r\nk=old\r\n") << call;
  }
}

TEST_F(ProfileStoreTest, AnInterruptedCallIsMadeAgain) {
  for (const char* call : {"open", "read", "write", "fsync", "fchmod", "lstat", "rename", "lock"}) {
    Put("status.ini", "[S]\r\nk=old\r\n");
    ProfileStore store;
    fault = Fault{call, EINTR, 0, 1, {}};
    EXPECT_TRUE(WriteAndCommit(store, L"k", L"new").Succeeded()) << call;
    fault = Fault{};
    EXPECT_EQ(Get("status.ini"), "[S]\r\nk=new\r\n") << call;
  }
}

TEST_F(ProfileStoreTest, AWriteThatRunsOutOfSpaceLeavesTheOldFileIntact) {
  Put("status.ini", "[S]\nk=old\n");
  ProfileStore store;
  ASSERT_TRUE(store.Write(Path("status.ini"), L"S", L"k", std::wstring(5000, L'v')).Succeeded());
  // A file size limit stands in for a full disk; it holds for every user, root too.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const SystemResult committed = store.Commit();
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(committed.Succeeded());
  EXPECT_EQ(Get("status.ini"), "[S]\nk=old\n");
  EXPECT_EQ(Entries(), "status.ini\n");
}

// --- what the writer never harms -----------------------------------------------------

TEST_F(ProfileStoreTest, AnotherWriterBetweenOurReadAndOurReplaceKeepsItsChange) {
  Put("status.ini", "[S]\r\nk=old\r\n");
  ProfileStore store;
  ASSERT_TRUE(store.Write(Path("status.ini"), L"S", L"k", L"new").Succeeded());
  // While our replacement is being flushed, another program rewrites the file in place
  // with a section of its own.
  fault.call = "fsync";
  fault.before = [this] { Rewrite("status.ini", "[S]\r\nk=old\r\n[Theirs]\r\nx=1\r\n"); };
  ASSERT_TRUE(store.Commit().Succeeded());
  EXPECT_EQ(Get("status.ini"), "[S]\r\nk=new\r\n[Theirs]\r\nx=1\r\n");
  EXPECT_EQ(Entries(), "status.ini\n");
}

TEST_F(ProfileStoreTest, AnotherWriterBeforeTheCommitKeepsItsChangeToo) {
  Put("status.ini", "[S]\r\nk=old\r\n");
  ProfileStore store;
  ASSERT_TRUE(store.Write(Path("status.ini"), L"S", L"k", L"new").Succeeded());
  Rewrite("status.ini", "[Theirs]\r\nx=1\r\n[S]\r\nk=theirs\r\n");
  ASSERT_TRUE(store.Commit().Succeeded());
  EXPECT_EQ(Get("status.ini"), "[Theirs]\r\nx=1\r\n[S]\r\nk=new\r\n");
}

// --- another program that rewrites the file in place -----------------------------

// Another program's copy of the file: 2000 sections of its own beside ours. It rewrites
// the file in place, as a profile service without temporary files does (truncate, a
// pause of 20 ms as when it is descheduled, then the whole file), again and again with
// pauses between, and counts every time it finds one of its sections gone.
class InPlaceRewriter {
 public:
  static constexpr int Sections = 2000;

  static std::string TheirSections() {
    std::string text;
    for (int i = 1; i <= Sections; ++i) text += "[Theirs" + std::to_string(i) + "]\r\nx=1\r\n";
    return text;
  }

  explicit InPlaceRewriter(const std::string& path) {
    EXPECT_EQ(::pipe(losses_), 0);
    pid_ = ::fork();
    if (pid_ == 0) Run(path);
    ::close(losses_[1]);
  }
  // Stops it between two rewrites; the number of times it found a section gone.
  int Stop() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    char buffer[256];
    int lost = 0;
    for (ssize_t n; (n = ::read(losses_[0], buffer, sizeof buffer)) > 0;)
      lost += static_cast<int>(n);
    ::close(losses_[0]);
    return lost;
  }

 private:
  static volatile std::sig_atomic_t stop;

  [[noreturn]] void Run(const std::string& path) {
    ::close(losses_[0]);
    std::signal(SIGTERM, [](int) { stop = 1; });
    unsigned seed = static_cast<unsigned>(::getpid());
    while (stop == 0) {
      std::ifstream in(path, std::ios::binary);
      std::stringstream content;
      content << in.rdbuf();
      in.close();
      const std::string text = content.str();
      for (int i = 1; i <= Sections; ++i) {
        if (text.find("[Theirs" + std::to_string(i) + "]") == std::string::npos) {
          [[maybe_unused]] const ssize_t said = ::write(losses_[1], "L", 1);
          break;
        }
      }
      const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
      ::usleep(20000);
      [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
      ::close(fd);
      ::usleep(30000 + ::rand_r(&seed) % 170000);
    }
    ::_exit(0);
  }

  pid_t pid_ = -1;
  int losses_[2] = {-1, -1};
};
volatile std::sig_atomic_t InPlaceRewriter::stop = 0;

// Keeps one core busy until it is stopped by its process id.
class Spinner {
 public:
  Spinner() : pid_(::fork()) {
    if (pid_ == 0) {
      for (volatile unsigned long n = 0;; n = n + 1) {
      }
    }
  }
  ~Spinner() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  Spinner(const Spinner&) = delete;
  Spinner& operator=(const Spinner&) = delete;

 private:
  pid_t pid_;
};

// Our commits every 150 ms or so while the other program rewrites: its sections are
// never lost, and our value lands in most commits.
void CommitBesideAnInPlaceRewriter(const std::string& path) {
  { std::ofstream(path, std::ios::binary) << "[S]\r\nk=0\r\n" + InPlaceRewriter::TheirSections(); }
  ::usleep(200000);
  ProfileStore store;
  InPlaceRewriter other(path);
  constexpr int Commits = 20;
  int landed = 0;
  for (int i = 1; i <= Commits; ++i) {
    if (store.Write(path, L"S", L"k", std::to_wstring(i)).Succeeded() &&
        store.Commit().Succeeded()) {
      ++landed;
    }
    ::usleep(150000);
  }
  EXPECT_EQ(other.Stop(), 0) << "the other program found its sections gone";
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  for (int i = 1; i <= InPlaceRewriter::Sections; ++i) {
    ASSERT_NE(content.str().find("[Theirs" + std::to_string(i) + "]"), std::string::npos) << i;
  }
  EXPECT_GE(landed, Commits / 2);
}

TEST_F(ProfileStoreTest, AnEmptiedFileWhoseWriterIsDescheduledLongIsWaitedFor) {
  Put("status.ini", "[S]\r\nk=old\r\n[Theirs]\r\nx=1\r\n");
  ProfileStore store;
  ASSERT_TRUE(WriteAndCommit(store, L"k", L"first").Succeeded());
  // The other program truncates, and gets the processor back only 300 ms later.
  Rewrite("status.ini", "");
  std::thread other([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Rewrite("status.ini", "[S]\r\nk=first\r\n[Theirs]\r\nx=1\r\n");
  });
  const SystemResult written = WriteAndCommit(store, L"k", L"second");
  other.join();
  EXPECT_TRUE(written.Succeeded());
  EXPECT_EQ(Get("status.ini"), "[S]\r\nk=second\r\n[Theirs]\r\nx=1\r\n");
}

TEST_F(ProfileStoreTest, AFileBeingRewrittenInPlaceIsNeverTheBaseOfAReplace) {
  CommitBesideAnInPlaceRewriter(Path("status.ini"));
}

TEST_F(ProfileStoreTest, AFileBeingRewrittenInPlaceIsNeverTheBaseOfAReplaceOnABusyMachine) {
  Spinner first;
  Spinner second;
  CommitBesideAnInPlaceRewriter(Path("status.ini"));
}

TEST_F(ProfileStoreTest, AFileLockedByAnotherProgramIsNotReplaced) {
  Put("status.ini", "[S]\r\nk=old\r\n");
  ProfileStore store;
  ASSERT_TRUE(store.Write(Path("status.ini"), L"S", L"k", L"new").Succeeded());
  fault = Fault{"lock", EAGAIN, 0, -1, {}};
  const SystemResult committed = store.Commit();
  EXPECT_FALSE(committed.Succeeded());
  EXPECT_EQ(Get("status.ini"), "[S]\r\nk=old\r\n");
}

TEST_F(ProfileStoreTest, AFileWithoutWritePermissionIsNotReplacedEvenByRoot) {
  Put("status.ini", "[S]\r\nk=old\r\n");
  ASSERT_EQ(::chmod(Path("status.ini").c_str(), 0444), 0);
  ProfileStore store;
  EXPECT_EQ(WriteAndCommit(store, L"k", L"new").error, static_cast<std::uint32_t>(EACCES));
  EXPECT_EQ(Get("status.ini"), "[S]\r\nk=old\r\n");
  EXPECT_EQ(store.Read(Path("status.ini"), L"S", L"k"), L"old");  // still read
}

TEST_F(ProfileStoreTest, ASymbolicLinkIsNeitherReadNorReplaced) {
  Put("secret", "[S]\r\nk=secret\r\n");
  ASSERT_EQ(::chmod(Path("secret").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(Path("secret").c_str(), Path("status.ini").c_str()), 0);
  ProfileStore store;
  EXPECT_EQ(store.Read(Path("status.ini"), L"S", L"k"), std::nullopt);
  EXPECT_FALSE(WriteAndCommit(store, L"k", L"new").Succeeded());
  char target[256] = {};
  ASSERT_GT(::readlink(Path("status.ini").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), Path("secret"));
  EXPECT_EQ(Get("secret"), "[S]\r\nk=secret\r\n");
}

TEST_F(ProfileStoreTest, TemporaryFilesThatAKilledProcessLeftAreRemoved) {
  Put("status.ini", "[S]\r\nk=old\r\n");
  Put(".status.ini.Ab3xYz", "half", 120);
  Put(".status.ini.notours", "kept", 120);
  Put(".other.ini.Ab3xYz", "kept", 120);
  // A writer that is alive keeps its temporary for moments only: a new one is not taken.
  Put(".status.ini.Cd4eFg", "being written", 1);
  ProfileStore store;
  ASSERT_TRUE(WriteAndCommit(store, L"k", L"new").Succeeded());
  EXPECT_EQ(Entries(), ".other.ini.Ab3xYz\n.status.ini.Cd4eFg\n.status.ini.notours\nstatus.ini\n");
}

TEST_F(ProfileStoreTest, AFolderWhereTheFileShouldBeIsNotReplaced) {
  ASSERT_EQ(::mkdir(Path("status.ini").c_str(), 0700), 0);
  ProfileStore store;
  EXPECT_FALSE(WriteAndCommit(store, L"k", L"v").Succeeded());
  struct stat info {};
  ASSERT_EQ(::stat(Path("status.ini").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
}

}  // namespace
}  // namespace vt::posix
