// The native host's children: each started with a clean signal state, its failure to
// start named with its errno, its group ended within a deadline; and the SMB file
// system's supervision, with stand-ins for the file system program that fail as a real
// one may (no root and no Samba needed).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/smb/smb_file_system.h"
#include "platform/posix/system/child_process.h"
#include "platform/posix/system/monotonic_clock.h"
#include "portable/utf8.h"

namespace vt::posix {
namespace {

// A folder of the test's own with shell scripts in it, removed afterwards.
class Scripts : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vodu-child-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + folder_ + "'").c_str()), 0); }
  std::string Script(const std::string& name, const std::string& body) const {
    std::string path = folder_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
  }
  std::string Read(const std::string& name) const {
    std::ifstream file(folder_ + "/" + name);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  // Whether the process whose id the script wrote to `name` still runs (a zombie that
  // waits for a reaper of its own has ended).
  bool Lives(const std::string& name) const {
    const std::string pid = std::to_string(std::atol(Read(name).c_str()));
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t state = text.rfind(')');
    return pid != "0" && state != std::string::npos && state + 2 < text.size() &&
           text[state + 2] != 'Z';
  }
  std::string folder_;
};

// The signal masks of /proc/PID/status ("SigBlk:", "SigIgn:"), as hexadecimal text.
std::string SignalMask(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, field.size(), field) == 0) return line.substr(field.size() + 1);
  }
  return "?";
}

TEST_F(Scripts, AChildStartsWithNoSignalBlockedOrIgnoredWhateverTheProgramHas) {
  // The program ignores SIGPIPE and its worker threads block the teardown signals.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &previous), 0);
  sigset_t teardown, mask;
  sigemptyset(&teardown);
  sigaddset(&teardown, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &teardown, &mask);
  ChildProcess child;
  ASSERT_EQ(child.Start({{"/bin/sleep", "5"}, "", false, SIGKILL}), 0);
  ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);
  ::sigaction(SIGPIPE, &previous, nullptr);
  EXPECT_EQ(SignalMask(child.Pid(), "SigBlk:").find_first_not_of("0\t "), std::string::npos);
  EXPECT_EQ(SignalMask(child.Pid(), "SigIgn:").find_first_not_of("0\t "), std::string::npos);
  child.End(SIGTERM, MonotonicMs() + 1000);
}

TEST_F(Scripts, AProgramThatCannotBeRunIsNamedWithTheErrnoOfExecve) {
  const struct {
    std::string program;
    int error;
  } cases[] = {{folder_ + "/missing", ENOENT}, {Script("plain", "exit 0"), 0}};
  ::chmod((folder_ + "/plain").c_str(), 0644);  // there, but not executable
  const int notExecutable = EACCES;
  for (const auto& each : cases) {
    ChildProcess child;
    const char* call = nullptr;
    const int error = child.Start({{each.program}, "", false, SIGKILL}, &call);
    EXPECT_EQ(error, each.error != 0 ? each.error : notExecutable) << each.program;
    EXPECT_STREQ(call, "execve");
    EXPECT_FALSE(child.Running());
  }
}

TEST_F(Scripts, EndingAChildEndsItsWholeGroupWithinTheDeadlineEvenWhenItIgnoresTheSignal) {
  ChildProcess child;
  ASSERT_EQ(child.Start({{Script("stubborn", "trap '' TERM\nsleep 100 &\necho $! > " + folder_ +
                                                 "/grandchild\nwait")},
                         "",
                         false,
                         SIGKILL}),
            0);
  for (int i = 0; i < 100 && Read("grandchild").empty(); ++i) ::usleep(10000);
  ASSERT_TRUE(Lives("grandchild"));
  const std::int64_t started = MonotonicMs();
  const int status = child.End(SIGTERM, started + 300);
  EXPECT_LT(MonotonicMs() - started, 1000);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  for (int i = 0; i < 100 && Lives("grandchild"); ++i) ::usleep(10000);
  EXPECT_FALSE(Lives("grandchild")) << "the child's own child outlived it";
}

// The file system's supervisor with a stand-in program, driven by its event loop.
class Supervision : public Scripts {
 protected:
  void SetUp() override {
    Scripts::SetUp();
    ASSERT_EQ(std::system(("mkdir -p '" + folder_ + "/station/dosdevices/unc'").c_str()), 0);
    ::setenv("RUNTIME_DIRECTORY", folder_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("RUNTIME_DIRECTORY");
    Scripts::TearDown();
  }
  SystemResult Serve(SmbFileSystem& system, std::int64_t waitMs) {
    SmbRequest request{
        SmbRequest::Kind::Serve, "fileserver", "docu", "", "station", "pass word", 3000};
    return system.Serve(request, folder_ + "/station/dosdevices/unc/fileserver/docu",
                        MonotonicMs() + waitMs, [this](std::int64_t ms) { loop_.Serve(ms); });
  }
  void RunLoopFor(std::int64_t ms) {
    const std::int64_t until = MonotonicMs() + ms;
    while (MonotonicMs() < until) loop_.Serve(until - MonotonicMs());
  }
  EventLoop loop_;
};

TEST_F(Supervision, AFileSystemThatFailsToMountFailsTheConnectAndLeavesNothing) {
  const struct {
    const char* name;
    const char* body;
    const char* reason;
  } cases[] = {
      {"exits", "echo $$ > $(dirname $0)/pid\nexit 3",
       "vodu-tavisto-smbfs exited with status 3 before it mounted "},
      {"silent", "echo $$ > $(dirname $0)/pid\nexec sleep 100",
       "vodu-tavisto-smbfs did not mount "},
  };
  for (const auto& each : cases) {
    SmbFileSystem system(folder_ + "/station", loop_, Script(each.name, each.body));
    const std::int64_t started = MonotonicMs();
    const SystemResult result = Serve(system, 600);
    EXPECT_FALSE(result.Succeeded()) << each.name;
    EXPECT_EQ(EncodeUtf8(result.reason).find(each.reason), 0u) << EncodeUtf8(result.reason);
    EXPECT_LT(MonotonicMs() - started, 1500) << each.name;
    EXPECT_FALSE(Lives("pid")) << each.name << ": the stand-in was left running";
    system.Stop();
  }
}

TEST_F(Supervision, AFileSystemThatDiesIsNamedOnceAndStartedAgainAtOnceWithItsGroupEnded) {
  // Mounts (says so), takes one request, leaves a grandchild behind and dies; the
  // second start stays, and records that it was handed the logon again.
  const std::string program =
      Script("dies",
             "n=$(cat $(dirname $0)/starts 2>/dev/null || echo 0); n=$((n + 1))\n"
             "echo $n > $(dirname $0)/starts\necho 0\n"
             "head -c 1 > /dev/null && echo 0\n"
             "if [ $n -eq 1 ]; then sleep 100 & echo $! > $(dirname $0)/grandchild; exit 0; fi\n"
             "echo handed > $(dirname $0)/handed\nexec sleep 100");
  SmbFileSystem system(folder_ + "/station", loop_, program);
  std::vector<std::wstring> faults;
  system.OnFault([&faults](const std::wstring& line) { faults.push_back(line); });
  ASSERT_TRUE(Serve(system, 3000).Succeeded());
  for (int i = 0; i < 300 && Read("handed").empty(); ++i) RunLoopFor(10);
  EXPECT_EQ(Read("starts"), "2\n");
  EXPECT_EQ(Read("handed"), "handed\n") << "the restarted file system got no logon";
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0],
            L"Fault by vodu-tavisto-smbfs: exited with status 0, serving \\\\fileserver");
  EXPECT_FALSE(Lives("grandchild")) << "what the dead file system left was not ended";
  struct stat link {};
  EXPECT_EQ(::lstat((folder_ + "/station/dosdevices/unc/fileserver/docu").c_str(), &link), 0);
  system.Stop();
  EXPECT_NE(::lstat((folder_ + "/station/dosdevices/unc/fileserver/docu").c_str(), &link), 0);
}

TEST_F(Supervision, AFileSystemThatSaysWhatIsNoAnswerOrFallsSilentIsNamedOnceAndStartedAgain) {
  // Each misbehaves on its first start, after it mounted and took a request; the second
  // start answers as it should.
  const struct {
    const char* name;
    const char* misbehaviour;
    const wchar_t* fault;
  } cases[] = {
      {"chatty", "echo 'Ignoring unknown parameter'",
       L"Fault by vodu-tavisto-smbfs: said \"Ignoring unknown parameter\", which is no answer, "
       L"serving \\\\fileserver"},
      {"mute", "exec > /dev/null",
       L"Fault by vodu-tavisto-smbfs: stopped answering, serving \\\\fileserver"},
  };
  for (const auto& each : cases) {
    ::unlink((folder_ + "/starts").c_str());
    const std::string program =
        Script(each.name, std::string("n=$(cat $(dirname $0)/starts 2>/dev/null || echo 0)\n"
                                      "echo $((n + 1)) > $(dirname $0)/starts\necho 0\n"
                                      "head -c 1 > /dev/null\n"
                                      "if [ $n -eq 0 ]; then echo $$ > $(dirname $0)/pid; ") +
                              each.misbehaviour + "; exec sleep 100; fi\necho 0\nexec sleep 100");
    SmbFileSystem system(folder_ + "/station", loop_, program);
    std::vector<std::wstring> faults;
    system.OnFault([&faults](const std::wstring& line) { faults.push_back(line); });
    EXPECT_TRUE(Serve(system, 3000).Succeeded()) << each.name;
    EXPECT_EQ(Read("starts"), "2\n") << each.name;
    ASSERT_EQ(faults.size(), 1u) << each.name;
    EXPECT_EQ(faults[0], each.fault);
    EXPECT_FALSE(Lives("pid")) << each.name << ": the first start was left running";
    system.Stop();
  }
}

TEST_F(Supervision, AFileSystemThatKeepsDyingIsStartedAgainLessAndLessOften) {
  const std::string program = Script(
      "always", "echo x >> $(dirname $0)/starts\necho 0\nhead -c 1 > /dev/null; echo 0; exit 1");
  SmbFileSystem system(folder_ + "/station", loop_, program);
  int faults = 0;
  system.OnFault([&faults](const std::wstring&) { ++faults; });
  ASSERT_TRUE(Serve(system, 3000).Succeeded());
  // Started, restarted at once, then after 1 s and 2 s: four starts in 3.5 s, not dozens.
  RunLoopFor(3500);
  const std::string starts = Read("starts");
  EXPECT_EQ(std::count(starts.begin(), starts.end(), '\n'), 4);
  EXPECT_EQ(faults, 1) << "a file system that keeps dying is named once";
  system.Stop();
}

}  // namespace
}  // namespace vt::posix
