#include "shares/check_cycle.h"

#include "config/profile_access.h"
#include "core/event_log.h"
#include "core/numbered.h"
#include "platform/error.h"

namespace vt {

namespace {

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

// An empty root and a root that cannot be listed both mean the share is missing.
bool DrivePresent(Platform& platform, const ShareSlot& slot) {
  bool present = false;
  Guarded([&] { present = platform.ListDriveRoot(slot.NetDrive) == DriveRoot::HasEntry; });
  return present;
}

// A connect that cannot be made at all counts as failed, never as connected.
bool Connect(Platform& platform, const ShareSlot& slot) {
  bool connected = false;
  Guarded([&] {
    connected =
        platform.ConnectShare(slot.NetDrive, slot.NetAddress, slot.User, slot.Password).Connected();
  });
  return connected;
}

// Tests the slot's drive and connects it when missing; sets NetOK.
void TestAndConnect(Platform& platform, ShareSlot& slot, int& faults) {
  Guarded([&] { LogMessage(platform, L"Checking: " + slot.NetAddress); });
  if (DrivePresent(platform, slot)) {
    slot.NetOK = true;
    return;
  }
  Guarded([&] { LogMessage(platform, L"Generate: " + slot.NetAddress); });
  if (Connect(platform, slot)) {
    slot.NetOK = true;
    return;
  }
  Guarded([&] { LogMessage(platform, L"Fault by generate: " + slot.NetAddress); });
  ++faults;
  slot.NetOK = false;
}

// Writes the slot's NetOK for every machine reference that lies on its share.
void Publish(Platform& platform, const AppState& state, const ShareSlot& slot) {
  const int machines = state.NumberOfMachines;
  for (int m = 1; m <= machines; ++m) {
    if (m > MaxMachines) {
      throw SubscriptOutOfRange(L"machine " + std::to_wstring(m) + L" of " +
                                std::to_wstring(machines) + L" while publishing " +
                                slot.NetAddress);
    }
    for (int r = 1; r <= ReferencesPerMachine; ++r) {
      if (!LiesOnShare(platform, state.Reference[m - 1][r - 1], slot.NetAddress)) continue;
      ProfileWrite(platform, slot.NetOK ? L"true" : L"false", Numbered(L"Machine", m),
                   Numbered(L"NetOK", r), state.StatusIniPath);
    }
  }
}

}  // namespace

bool LiesOnShare(Platform& platform, const std::wstring& reference,
                 const std::wstring& netAddress) {
  if (reference.size() <= 3 || reference.compare(0, 2, L"\\\\") != 0) return false;
  return platform.UpperCase(reference).compare(0, netAddress.size(),
                                               platform.UpperCase(netAddress)) == 0;
}

void CheckShares(Platform& platform, AppState& state) {
  platform.EnableExitButton(false);
  platform.EnableTimer(TimerId::UpdateTimer, false);
  int faults = 0;
  for (ShareSlot& slot : state.Shares) {
    if (slot.NetAddress.empty()) continue;
    TestAndConnect(platform, slot, faults);
    Publish(platform, state, slot);
  }
  LogMessage(platform, L"Checking ready " + std::to_wstring(faults) + L" faults");
  platform.EnableTimer(TimerId::UpdateTimer, true);
  platform.EnableExitButton(true);
}

}  // namespace vt
