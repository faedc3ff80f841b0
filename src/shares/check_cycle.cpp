#include "shares/check_cycle.h"

#include "config/profile_access.h"
#include "core/event_log.h"
#include "core/numbered.h"
#include "platform/error.h"
#include "portable/secret_text.h"

namespace vt {

namespace {

// The system's text is cut here, so a line still fits the log list.
constexpr std::size_t MaxReasonLength = 160;

// A step of a share's check that can fail (a log line the list cannot take, a drive
// or a connect the system cannot even try). A failing step is abandoned, silently,
// and the check goes on with the next one, so one broken share never stops the
// others from being checked and published.
template <typename Step>
void Guarded(Step step) {
  try {
    step();
  } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): abandoning is the point
  }
}

// What one cycle has found so far.
struct CycleFaults {
  int count = 0;      // "Fault by generate" lines
  int retryable = 0;  // of those, the ones an early retry may mend
  SystemResult firstWriteFailure;
};

std::int64_t DeadlineMs(const AppState& state) {
  return std::int64_t{state.ShareTimeoutSeconds} * 1000;
}

// The reason of a call whose server did not answer in time.
SystemResult NoAnswer(Platform& platform, const AppState& state, const ShareSlot& slot) {
  return {platform.NoAnswerError(),
          L"no answer from " + slot.NetAddress + L" within " +
              std::to_wstring(state.ShareTimeoutSeconds) + L" s",
          FailureKind::NoAnswer};
}

// The system's text without the password, should it hold it.
std::wstring Masked(std::wstring reason, const std::wstring& password) {
  if (password.empty()) return reason;
  for (std::size_t at = reason.find(password); at != std::wstring::npos;
       at = reason.find(password, at + 3)) {
    reason.replace(at, password.size(), L"***");
  }
  return reason;
}

// A call that throws instead of answering counts as failed, never as done; its reason
// is the failure that stopped it.
template <typename Call>
SystemResult Attempt(Call call, const wchar_t* couldNot) {
  try {
    return call();
  } catch (const ProgramError& error) {
    return {error.SystemError() != 0 ? error.SystemError() : GeneralFailure, error.Message()};
  } catch (const std::exception&) {
    return {GeneralFailure, couldNot};
  }
}

// The connect step. A protected password is made plain here and nowhere else, handed to
// the connect call and wiped; one that cannot be unprotected means no connect at all,
// and counts as a refused logon, so no early check tries it again.
SystemResult Connect(Platform& platform, const AppState& state, const ShareSlot& slot,
                     int slotNumber) {
  std::wstring password;
  if (!slot.ProtectedPassword.empty()) {
    SystemResult unprotected =
        Attempt([&] { return platform.UnprotectPassword(slot.ProtectedPassword, password); },
                L"the value could not be unprotected");
    if (!unprotected.Succeeded()) {
      Wipe(password);
      unprotected.reason = Numbered(L"ProtectedPassword", slotNumber) +
                           L" cannot be unprotected: " + unprotected.reason;
      unprotected.kind = FailureKind::LogonRefused;
      return unprotected;
    }
  } else {
    password = slot.Password;
  }
  SystemResult connected = Attempt(
      [&] {
        return platform.ConnectShare(slot.NetDrive, slot.NetAddress, slot.User, password,
                                     DeadlineMs(state));
      },
      L"the connect call could not be made");
  connected.reason = Masked(connected.reason, password);
  Wipe(password);
  if (connected.kind == FailureKind::NoAnswer) return NoAnswer(platform, state, slot);
  return connected;
}

// Tests the slot's drive and connects it when missing; sets NetOK.
void TestAndConnect(Platform& platform, AppState& state, int slotNumber, CycleFaults& faults) {
  ShareSlot& slot = state.Shares[static_cast<std::size_t>(slotNumber - 1)];
  Guarded([&] { LogMessage(platform, state, L"Checking: " + slot.NetAddress); });
  slot.Checked = true;
  const DriveRoot root = ListShareDrive(platform, state, slot);
  if (root == DriveRoot::HasEntry) {
    slot.NetOK = true;
    slot.LogonFailed = false;
    slot.LastError = 0;
    return;
  }
  // A server that does not answer a listing is not asked for a connect as well.
  SystemResult connect;
  if (root == DriveRoot::NoAnswer) {
    connect = NoAnswer(platform, state, slot);
  } else {
    Guarded([&] { LogMessage(platform, state, L"Generate: " + slot.NetAddress); });
    connect = Connect(platform, state, slot, slotNumber);
  }
  slot.LogonFailed = !connect.Succeeded() && connect.kind == FailureKind::LogonRefused;
  slot.LastError = connect.error;
  slot.LastReason = connect.reason;
  if (connect.Succeeded()) {
    slot.NetOK = true;
    return;
  }
  ++slot.ConnectFailures;
  Guarded([&] { LogMessage(platform, state, L"Fault by generate: " + slot.NetAddress); });
  Guarded([&] { LogMessage(platform, state, ReasonLine(connect)); });
  ++faults.count;
  if (!slot.LogonFailed) ++faults.retryable;
  slot.NetOK = false;
}

// Writes the slot's NetOK for every machine reference that lies on its share.
void Publish(Platform& platform, const AppState& state, const ShareSlot& slot,
             CycleFaults& faults) {
  const int machines = state.NumberOfMachines;
  for (int m = 1; m <= machines; ++m) {
    if (m > MaxMachines) {
      throw SubscriptOutOfRange(L"machine " + std::to_wstring(m) + L" of " +
                                std::to_wstring(machines) + L" while publishing " +
                                slot.NetAddress);
    }
    for (int r = 1; r <= ReferencesPerMachine; ++r) {
      if (!LiesOnShare(platform, state.Reference[m - 1][r - 1], slot.NetAddress)) continue;
      const SystemResult written =
          ProfileWrite(platform, Numbered(L"Machine", m), Numbered(L"NetOK", r),
                       slot.NetOK ? L"true" : L"false", state.StatusIniPath);
      if (!written.Succeeded() && faults.firstWriteFailure.Succeeded())
        faults.firstWriteFailure = written;
    }
  }
}

}  // namespace

DriveRoot ListShareDrive(Platform& platform, const AppState& state, const ShareSlot& slot) {
  DriveRoot root = DriveRoot::Unreadable;
  Guarded([&] { root = platform.ListDriveRoot(slot.NetDrive, DeadlineMs(state)); });
  return root;
}

bool LiesOnShare(Platform& platform, const std::wstring& reference,
                 const std::wstring& netAddress) {
  if (reference.size() <= 3 || reference.compare(0, 2, L"\\\\") != 0) return false;
  return platform.UpperCase(reference).compare(0, netAddress.size(),
                                               platform.UpperCase(netAddress)) == 0;
}

std::wstring ReasonLine(const SystemResult& result) {
  std::wstring reason = result.reason;
  if (reason.size() > MaxReasonLength) reason = reason.substr(0, MaxReasonLength - 3) + L"...";
  return L"  error " + std::to_wstring(result.error) + L": " + reason;
}

CycleOutcome CheckShares(Platform& platform, AppState& state, CycleKind kind) {
  // An ordinary cycle stops the minute count for its length; an early one leaves the
  // ordinary schedule running (a tick it lets run counts, and a cycle that falls due
  // meanwhile follows it).
  platform.EnableExitButton(false);
  if (kind == CycleKind::Scheduled) platform.EnableTimer(TimerId::UpdateTimer, false);
  CycleFaults faults;
  for (int i = 1; i <= ShareSlotCount; ++i) {
    const ShareSlot& slot = state.Shares[static_cast<std::size_t>(i - 1)];
    if (slot.NetAddress.empty()) continue;
    if (kind == CycleKind::Early && slot.LogonFailed) continue;
    TestAndConnect(platform, state, i, faults);
    Publish(platform, state, slot, faults);
  }
  // The cycle's writes are published together before anything else can run.
  const SystemResult committed = platform.CommitProfileWrites();
  if (!committed.Succeeded() && faults.firstWriteFailure.Succeeded())
    faults.firstWriteFailure = committed;
  if (!faults.firstWriteFailure.Succeeded()) {
    Guarded([&] {
      LogMessage(
          platform, state,
          L"Fault by write: " + state.StatusIniPath + L": " + faults.firstWriteFailure.reason);
    });
  }
  LogMessage(platform, state, L"Checking ready " + std::to_wstring(faults.count) + L" faults");
  if (kind == CycleKind::Scheduled) platform.EnableTimer(TimerId::UpdateTimer, true);
  platform.EnableExitButton(true);
  return {faults.retryable, faults.firstWriteFailure};
}

}  // namespace vt
