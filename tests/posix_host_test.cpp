// The POSIX host: Windows paths on the Wine layout, drive listings, connects, environment.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/posix/host/posix_platform.h"
#include "platform/posix/smb/smb_connect.h"
#include "platform/posix/smb/smb_probe.h"
#include "platform/posix/station/paths.h"
#include "platform/posix/system/event_loop.h"
#include "platform/posix/system/runtime_folder.h"
#include "portable/utf8.h"

namespace vt::posix {
namespace {

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vodu-host-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    prefix_ = pattern;
    Folder("dosdevices/unc/FileServer/Docu/Machine1");
    Folder("dosdevices/unc/FileServer/empty");
    Folder("drive_c/Zembrik");
    ASSERT_EQ(::symlink("../drive_c", (prefix_ + "/dosdevices/c:").c_str()), 0);
  }
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + prefix_ + "'").c_str()), 0); }
  void Folder(const std::string& path) const {
    EXPECT_EQ(std::system(("mkdir -p '" + prefix_ + "/" + path + "'").c_str()), 0);
  }
  std::string prefix_;
};

TEST_F(Host, DrivesAndSharesMapOntoDosdevicesMatchingComponentsInAnyCase) {
  EXPECT_EQ(MapWindowsPath(prefix_, L"C:\\zembrik\\Parameter\\Program.ini"),
            prefix_ + "/dosdevices/c:/Zembrik/Parameter/Program.ini");
  EXPECT_EQ(MapWindowsPath(prefix_, L"k:\\"), prefix_ + "/dosdevices/k:");
  EXPECT_EQ(MapWindowsPath(prefix_, L"\\\\fileserver\\DOCU\\machine1\\x"),
            prefix_ + "/dosdevices/unc/FileServer/Docu/Machine1/x");
  EXPECT_EQ(MapWindowsPath(prefix_, L"relative\\path"), std::nullopt);
  EXPECT_EQ(MapWindowsPath(prefix_, L":\\"), std::nullopt);
  EXPECT_EQ(MapWindowsPath(prefix_, L"C:\\..\\..\\etc"), std::nullopt);
}

TEST_F(Host, DotAndDotDotResolveWithinTheDriveAsOnWindows) {
  const std::string zembrik = prefix_ + "/dosdevices/c:/Zembrik";
  EXPECT_EQ(MapWindowsPath(prefix_, L"C:\\Other\\..\\Zembrik"), zembrik);
  EXPECT_EQ(MapWindowsPath(prefix_, L"C:\\.\\Zembrik\\x\\..\\."), zembrik);
  EXPECT_EQ(MapWindowsPath(prefix_, L"C:\\Zembrik\\..\\.."), std::nullopt);
  EXPECT_EQ(MapWindowsPath(prefix_, L"\\\\fileserver\\docu\\x\\..\\Machine1"),
            prefix_ + "/dosdevices/unc/FileServer/Docu/Machine1");
  // A share's root is its server and its name: no ".." climbs above it.
  EXPECT_EQ(MapWindowsPath(prefix_, L"\\\\fileserver\\docu\\..\\other"), std::nullopt);
  EXPECT_EQ(MapWindowsPath(prefix_, L"\\\\..\\x\\y"), std::nullopt);
}

// A deadline no call on a local folder comes near.
constexpr std::int64_t Patient = 10000;

TEST_F(Host, ADriveRootListsAVisibleEntryOrNothingOrFails) {
  PosixPlatform host(prefix_);
  ASSERT_EQ(::symlink("unc/FileServer/Docu", (prefix_ + "/dosdevices/k:").c_str()), 0);
  ASSERT_EQ(::symlink("unc/FileServer/empty", (prefix_ + "/dosdevices/e:").c_str()), 0);
  std::ofstream(prefix_ + "/dosdevices/unc/FileServer/empty/.hidden") << "x";
  EXPECT_EQ(host.ListDriveRoot(L"K", Patient), DriveRoot::HasEntry);
  EXPECT_EQ(host.ListDriveRoot(L"E", Patient), DriveRoot::Empty);
  EXPECT_EQ(host.ListDriveRoot(L"Z", Patient), DriveRoot::Unreadable);
  EXPECT_EQ(host.ListDriveRoot(L"", Patient), DriveRoot::Unreadable);
}

TEST_F(Host, AConnectLinksTheDriveToAnExistingShareOrSaysWhyNot) {
  PosixPlatform host(prefix_);
  EXPECT_TRUE(
      host.ConnectShare(L"L", L"\\\\FILESERVER\\docu", L"user", L"pw", Patient).Succeeded());
  char target[256] = {};
  ASSERT_GT(::readlink((prefix_ + "/dosdevices/l:").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "unc/FileServer/Docu");
  EXPECT_EQ(host.ListDriveRoot(L"l", Patient), DriveRoot::HasEntry);

  const SystemResult inUse =
      host.ConnectShare(L"L", L"\\\\FILESERVER\\docu", L"user", L"pw", Patient);
  EXPECT_EQ(inUse.error, static_cast<std::uint32_t>(EEXIST));
  EXPECT_EQ(inUse.kind, FailureKind::LetterInUse);
  EXPECT_EQ(inUse.reason, L"File exists. L: is connected to \\\\FileServer\\Docu");
  // What stands where a share's folder would be and is none is no share (and no case
  // for SMB, which would cover it).
  std::ofstream(prefix_ + "/dosdevices/unc/FileServer/notashare") << "x";
  const SystemResult missing =
      host.ConnectShare(L"M", L"\\\\fileserver\\notashare", L"", L"", Patient);
  EXPECT_EQ(missing.error, static_cast<std::uint32_t>(ENOENT));
  EXPECT_EQ(missing.kind, FailureKind::Unreachable);
  // A folder on a share is not a share.
  EXPECT_EQ(host.ConnectShare(L"M", L"\\\\fileserver\\docu\\Machine1", L"", L"", Patient).error,
            static_cast<std::uint32_t>(EINVAL));
  for (const wchar_t* bad : {L":", L"", L"MM", L"1"}) {
    EXPECT_EQ(host.ConnectShare(bad, L"\\\\fileserver\\docu", L"", L"", Patient).error,
              static_cast<std::uint32_t>(EINVAL))
        << bad;
  }
}

// A start sweeps what killed programs left, never a folder in use or one being made.
TEST_F(Host, TheRuntimeFolderIsMadeLockedAndOnlyLeftoversAreSwept) {
  const std::string base = prefix_ + "/run";
  Folder("run");
  ASSERT_EQ(::setenv("RUNTIME_DIRECTORY", base.c_str(), 1), 0);
  const auto make = [&base](const std::string& name, bool lock) {
    EXPECT_EQ(::mkdir((base + "/" + name).c_str(), 0700), 0);
    if (lock) std::ofstream(base + "/" + name + "/lock") << "";
  };
  const auto exists = [&base](const std::string& name) {
    struct stat info {};
    return ::stat((base + "/" + name).c_str(), &info) == 0;
  };
  make("vodu-tavisto.killed", true);
  make("vodu-tavisto.inuse", true);
  const int held = ::open((base + "/vodu-tavisto.inuse/lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  make("vodu-tavisto-new.beingmade", false);
  make("vodu-tavisto-new.abandoned", false);
  const timeval longAgo[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
  ::utimes((base + "/vodu-tavisto-new.abandoned").c_str(), longAgo);
  {
    RuntimeFolder folder;
    SystemResult failure;
    const std::string path = folder.Path(failure);
    ASSERT_FALSE(path.empty()) << EncodeUtf8(failure.reason);
    EXPECT_EQ(path.rfind(base + "/vodu-tavisto.", 0), 0u) << path;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_FALSE(exists("vodu-tavisto.killed"));
    EXPECT_TRUE(exists("vodu-tavisto.inuse"));
    EXPECT_TRUE(exists("vodu-tavisto-new.beingmade"));
    EXPECT_FALSE(exists("vodu-tavisto-new.abandoned"));
    // A second start keeps the first's folder: its lock is held.
    RuntimeFolder second;
    EXPECT_FALSE(second.Path(failure).empty());
    EXPECT_TRUE(exists(path.substr(base.size() + 1)));
    second.Remove();
    folder.Remove();
    EXPECT_FALSE(exists(path.substr(base.size() + 1)));
  }
  ::close(held);
  ::unsetenv("RUNTIME_DIRECTORY");
}

TEST(SmbConnect, TheLogonIsReadAsWindowsReadsIt) {
  const struct {
    const wchar_t* user;
    const char* domain;
    const char* name;
  } cases[] = {
      {L"PLANT\\station", "PLANT", "station"},
      {L"station@plant.example", "", "station@plant.example"},  // a principal, as it stands
      {L"station", "", "station"},
      {L"PLANT\\", "PLANT", ""},
  };
  for (const auto& each : cases) {
    SmbRequest request;
    SetLogon(each.user, request);
    EXPECT_EQ(request.domain, each.domain) << each.name;
    EXPECT_EQ(request.user, each.name) << each.name;
  }
  SmbRequest own;
  SetLogon(L"", own);  // the host's own user, as Windows logs on as the session's
  EXPECT_FALSE(own.user.empty());
}

TEST(SmbConnect, RequestsCrossThePipeWholeOneAfterAnotherWhateverTheirTextsHold) {
  const SmbRequest sent{SmbRequest::Kind::Serve,       "fileserver", "docu", "PLANT", "station",
                        std::string("a\"b\\c d\n", 7), 2750};
  std::string one;
  EncodeSmbRequest(sent, one);
  SmbRequest drop = sent;
  drop.kind = SmbRequest::Kind::Drop;
  std::string two;
  EncodeSmbRequest(drop, two);
  const std::string stream = one + two;
  SmbRequest got;
  ASSERT_EQ(DecodeSmbRequest(stream, got), static_cast<std::ptrdiff_t>(one.size()));
  EXPECT_EQ(got.server + "|" + got.share + "|" + got.domain + "|" + got.user,
            "fileserver|docu|PLANT|station");
  EXPECT_EQ(got.password, sent.password);
  EXPECT_EQ(got.timeoutMs, 2750);
  EXPECT_EQ(got.kind, SmbRequest::Kind::Serve);
  ASSERT_EQ(DecodeSmbRequest(stream.substr(one.size()), got),
            static_cast<std::ptrdiff_t>(two.size()));
  EXPECT_EQ(got.kind, SmbRequest::Kind::Drop);
  // Part of a request is no request yet; bytes that are none are told apart.
  EXPECT_EQ(DecodeSmbRequest(std::string(), got), 0);
  EXPECT_EQ(DecodeSmbRequest(one.substr(0, one.size() - 1), got), 0);
  const char unknownKind[] =
      "mount\0a\0b\0c\0d\0e\0"
      "1";
  const char timeoutNoNumber[] =
      "serve\0a\0b\0c\0d\0e\0"
      "12x";
  for (const std::string& bad : {std::string(unknownKind, sizeof unknownKind),
                                 std::string(timeoutNoNumber, sizeof timeoutNoNumber)}) {
    EXPECT_EQ(DecodeSmbRequest(bad, got), -1) << bad.size();
  }
}

TEST(SmbConnect, EachVerdictIsItsKindOfFailureWithAReason) {
  const struct {
    int error;
    FailureKind kind;
    const wchar_t* reason;
    int shown = 0;  // the error number shown, where it is not the verdict's
  } cases[] = {
      {EACCES, FailureKind::LogonRefused,
       L"fileserver refused the logon of station (a wrong user or password, or an account that "
       L"is locked, disabled or expired)"},
      {EPERM, FailureKind::Other,
       L"fileserver accepted the logon of station but refused it access to the share docu"},
      {ENOENT, FailureKind::Unreachable, L"fileserver has no share named docu"},
      {ENXIO, FailureKind::Unreachable,
       L"no server named fileserver is known (the name does not resolve)"},
      {ECONNREFUSED, FailureKind::Unreachable,
       L"fileserver refused the connection (no SMB server listens there)"},
      {ETIMEDOUT, FailureKind::Unreachable, L"no answer from \\\\fileserver\\docu within 3 s"},
      {EHOSTUNREACH, FailureKind::Unreachable, L"no route to fileserver: No route to host"},
      {EPROTONOSUPPORT, FailureKind::Other,
       L"fileserver speaks only SMB1, which this host's SMB client does not allow"},
      // The station's own refusals, shown as the refused logons they are.
      {GuestSessionVerdict, FailureKind::LogonRefused,
       L"fileserver offered only guest access, which this station refuses (as Windows does)",
       EACCES},
      {NtlmRefusedVerdict, FailureKind::LogonRefused,
       L"fileserver refused an NTLM logon (it takes Kerberos only)", EACCES},
  };
  for (const auto& each : cases) {
    const SystemResult result = SmbFailure(each.error, L"fileserver", L"docu", L"station", 2750);
    EXPECT_EQ(result.error, static_cast<std::uint32_t>(each.shown != 0 ? each.shown : each.error));
    EXPECT_EQ(result.kind, each.kind) << each.error;
    EXPECT_EQ(result.reason, each.reason);
  }
}

TEST_F(Host, EnvironmentNamesMatchInAnyLetterCaseAndTooLongIsItsOwnOutcome) {
  PosixPlatform host(prefix_);
  ASSERT_EQ(::setenv("VoduTestDir", "D:\\Station", 1), 0);
  const EnvironmentLookup found = host.EnvironmentVariable(L"VODUTESTDIR", 4095);
  EXPECT_EQ(found.outcome, EnvironmentOutcome::Value);
  EXPECT_EQ(found.value, L"D:\\Station");
  EXPECT_EQ(host.EnvironmentVariable(L"VoduTestDi", 4095).outcome, EnvironmentOutcome::Missing);
  EXPECT_EQ(host.EnvironmentVariable(L"vodutestdir", 10).outcome, EnvironmentOutcome::Value);
  EXPECT_EQ(host.EnvironmentVariable(L"vodutestdir", 9).outcome, EnvironmentOutcome::TooLong);
  ::unsetenv("VoduTestDir");
}

TEST_F(Host, ProfileCallsReadAndWriteThroughTheDriveLayout) {
  PosixPlatform host(prefix_);
  const std::wstring file = L"C:\\Zembrik\\status.ini";
  EXPECT_TRUE(host.ProfileWrite(L"Machine1", L"NetOK1", L"true", file).Succeeded());
  EXPECT_EQ(host.ProfileString(L"machine1", L"netok1", file, 254), L"true");
  EXPECT_EQ(host.ProfileString(L"machine1", L"netok1", file, 2), L"tr");
  EXPECT_EQ(host.ProfileString(L"machine1", L"missing", file, 254), L"");
  EXPECT_EQ(host.ProfileInt(L"Machine1", L"Missing", -1, file), -1);
  EXPECT_FALSE(host.ProfileWrite(L"S", L"k", L"v", L"C:\\NoFolder\\x.ini").Succeeded());
  EXPECT_FALSE(host.ProfileWrite(L"S", L"k", L"v", L"nowhere.ini").Succeeded());
}

TEST_F(Host, AFileWrittenWholeIsNeverFoundHalfWritten) {
  PosixPlatform host(prefix_, false);
  const std::string small = "# small\nvodu_tavisto_share_up 1\n";
  const std::string large = "# large\n" + std::string(std::size_t{256} * 1024, 'x') + "\n";
  ASSERT_TRUE(host.WriteWholeFile(L"C:\\Zembrik\\vodu_tavisto.prom", small).Succeeded());
  const std::string path = prefix_ + "/drive_c/Zembrik/vodu_tavisto.prom";
  // A reader in another process, as the exporter is, reads it again and again.
  int results[2];
  ASSERT_EQ(::pipe(results), 0);
  const pid_t reader = ::fork();
  if (reader == 0) {
    int reads = 0;
    int torn = 0;
    for (; reads < 2000; ++reads) {
      std::ifstream file(path, std::ios::binary);
      const std::string content{std::istreambuf_iterator<char>(file), {}};
      if (content != small && content != large) ++torn;
    }
    const int said[2] = {reads, torn};
    [[maybe_unused]] const ssize_t n = ::write(results[1], said, sizeof said);
    ::_exit(0);
  }
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(host.WriteWholeFile(L"C:\\Zembrik\\vodu_tavisto.prom", i % 2 == 0 ? large : small)
                    .Succeeded());
  }
  int said[2] = {0, 0};
  ASSERT_EQ(::read(results[0], said, sizeof said), static_cast<ssize_t>(sizeof said));
  ::waitpid(reader, nullptr, 0);
  ::close(results[0]);
  ::close(results[1]);
  EXPECT_EQ(said[0], 2000);
  EXPECT_EQ(said[1], 0) << "reads that found the file half-written";
}

TEST_F(Host, ACredentialFromSystemdIsTheProtectedPassword) {
  PosixPlatform host(prefix_, false);
  Folder("credentials");
  const std::string folder = prefix_ + "/credentials";
  std::ofstream(folder + "/share1") << "s3cret with blanks \n\n";
  std::ofstream(folder + "/share2") << "no-line-break";
  ASSERT_EQ(::setenv("CREDENTIALS_DIRECTORY", folder.c_str(), 1), 0);
  std::wstring password;
  ASSERT_TRUE(host.UnprotectPassword(L"cred:share1", password).Succeeded());
  EXPECT_EQ(password, L"s3cret with blanks \n");  // one trailing line break only
  ASSERT_TRUE(host.UnprotectPassword(L"cred:share2", password).Succeeded());
  EXPECT_EQ(password, L"no-line-break");

  struct Case {
    const wchar_t* value;
    int error;
    const wchar_t* says;
  } refused[] = {
      {L"cred:missing", ENOENT, L"/credentials/missing: No such file or directory"},
      {L"cred:../secret", EINVAL, L"not a plain file name"},
      {L"cred:sub/share1", EINVAL, L"not a plain file name"},
      {L"cred:", EINVAL, L"not a plain file name"},
      {L"dpapi:AQAAANCMnd8B", EINVAL, L"on Windows only"},
      {L"01000000d08c9ddf", EINVAL, L"this host takes cred:NAME"},
  };
  for (const Case& c : refused) {
    std::wstring none;
    const SystemResult result = host.UnprotectPassword(c.value, none);
    EXPECT_EQ(result.error, static_cast<std::uint32_t>(c.error)) << c.value;
    EXPECT_NE(result.reason.find(c.says), std::wstring::npos) << result.reason;
    EXPECT_TRUE(none.empty()) << c.value;
  }
  ::unsetenv("CREDENTIALS_DIRECTORY");
  std::wstring none;
  const SystemResult unset = host.UnprotectPassword(L"cred:share1", none);
  EXPECT_NE(unset.reason.find(L"CREDENTIALS_DIRECTORY is not set"), std::wstring::npos);
}

// --- event sources --------------------------------------------------------------

class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
  ~Pipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  int ReadEnd() const { return fds_[0]; }
  void Say() const { EXPECT_EQ(::write(fds_[1], "x", 1), 1); }
  void Take() const {
    char byte = 0;
    EXPECT_EQ(::read(fds_[0], &byte, 1), 1);
  }

 private:
  int fds_[2] = {-1, -1};
};

TEST(EventSources, AWatchedDescriptorIsServedWhenReadyAndOnlyThen) {
  EventLoop loop;
  Pipe pipe;
  int served = 0;
  const EventLoop::SourceId source = loop.Watch(pipe.ReadEnd(), [&] {
    pipe.Take();
    ++served;
  });
  loop.Serve(0);
  EXPECT_EQ(served, 0);
  pipe.Say();
  loop.Serve(0);
  EXPECT_EQ(served, 1);
  // The wait ends when the source becomes ready, not at its limit.
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pipe.Say();
  });
  const auto start = std::chrono::steady_clock::now();
  loop.Serve(60000);
  later.join();
  EXPECT_EQ(served, 2);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  loop.Unwatch(source);
  pipe.Say();
  loop.Serve(0);
  EXPECT_EQ(served, 2);
}

TEST(EventSources, ACallbackMayUnwatchAnotherSourceThatIsReadyToo) {
  EventLoop loop;
  Pipe first;
  Pipe second;
  int secondServed = 0;
  EventLoop::SourceId secondSource = 0;
  loop.Watch(first.ReadEnd(), [&] {
    first.Take();
    loop.Unwatch(secondSource);
  });
  secondSource = loop.Watch(second.ReadEnd(), [&] { ++secondServed; });
  first.Say();
  second.Say();
  loop.Serve(0);
  EXPECT_EQ(secondServed, 0);
}

TEST_F(Host, ASourceIsServedInsideDoEventsAsWhenACheckYields) {
  PosixPlatform host(prefix_, false);
  Pipe pipe;
  int served = 0;
  host.Sources().Watch(pipe.ReadEnd(), [&] {
    pipe.Take();
    ++served;
  });
  pipe.Say();
  host.DoEvents();
  EXPECT_EQ(served, 1);
}

}  // namespace
}  // namespace vt::posix
