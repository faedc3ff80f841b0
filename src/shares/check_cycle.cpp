#include "shares/check_cycle.h"

#include "app/event_log.h"
#include "app/main_window.h"
#include "app/text.h"
#include "config/profile_access.h"
#include "platform/error.h"

namespace vt {

const wchar_t* const ConnectionComment = L"XTavisto";

namespace {

// A step of the guarded section: when it fails it is abandoned, silently, and the
// cycle goes on with the next step.
template <typename Step>
void Guarded(Step step) {
  try {
    step();
  } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): abandoning is the point
  }
}

// Fills the run-long connection record field by field; a text field that cannot be
// set is skipped and the next one is set.
void FillConnectionRecord(NetResource& record, const ShareSlot& slot) {
  record.dwScope = ResourceGlobalNet;
  record.dwType = ResourceTypeDisk;
  record.dwDisplayType = ResourceDisplayTypeShare;
  record.dwUsage = ResourceUsageConnectable;
  Guarded([&] { record.lpLocalName = slot.NetDrive + L":"; });
  Guarded([&] { record.lpRemoteName = slot.NetAddress; });
  Guarded([&] { record.lpComment = ConnectionComment; });
}

// Whether the slot's drive lists an entry at its root. An empty root and a root that
// cannot be listed both mean the share is missing.
bool DrivePresent(Platform& platform, const ShareSlot& slot) {
  bool present = false;
  Guarded([&] {
    const DriveListing listing = platform.ListDriveRoot(slot.NetDrive + L":\\");
    present = listing.outcome == ListingOutcome::Entry;
  });
  return present;
}

// Connects the slot's share; true when the platform reports success. A connect that
// cannot be made at all counts as failed, never as connected.
bool Connect(MainWindow& window, const ShareSlot& slot) {
  bool connected = false;
  Guarded([&] {
    const std::uint32_t status = window.platform.AddConnection(
        window.state.Connection, slot.Password, slot.User, ConnectRedirect);
    connected = status == 0;
  });
  return connected;
}

// Steps c to h: test the drive and connect it when missing; sets NetOK.
void TestAndConnect(MainWindow& window, ShareSlot& slot, int& faults) {
  Guarded([&] { LogMessage(window, L"Checking: " + slot.NetAddress); });
  if (DrivePresent(window.platform, slot)) {
    Guarded([&] { slot.NetOK = true; });
    return;
  }
  Guarded([&] { LogMessage(window, L"Generate: " + slot.NetAddress); });
  FillConnectionRecord(window.state.Connection, slot);
  if (Connect(window, slot)) {
    Guarded([&] { slot.NetOK = true; });
    return;
  }
  Guarded([&] { LogMessage(window, L"Fault by generate: " + slot.NetAddress); });
  Guarded([&] { ++faults; });
  Guarded([&] { slot.NetOK = false; });
}

// Writes the slot's NetOK for every machine reference that lies on its share.
void Publish(MainWindow& window, const ShareSlot& slot) {
  AppState& state = window.state;
  const int machines = state.NumberOfMachines;
  for (int m = 1; m <= machines; ++m) {
    if (m > MaxMachines) {
      throw SubscriptOutOfRange(L"machine " + std::to_wstring(m) + L" of " +
                                std::to_wstring(machines) + L" while publishing " +
                                slot.NetAddress);
    }
    for (int r = 1; r <= ReferencesPerMachine; ++r) {
      if (!LiesOnShare(state.Reference[m - 1][r - 1], slot.NetAddress)) continue;
      ProfileWrite(window.platform, slot.NetOK ? L"true" : L"false", Numbered(L"Machine", m),
                   Numbered(L"NetOK", r), state.StatusIniPath);
    }
  }
}

}  // namespace

bool LiesOnShare(const std::wstring& reference, const std::wstring& netAddress) {
  if (reference.size() <= 3 || reference.compare(0, 2, L"\\\\") != 0) return false;
  return UpperCase(reference).compare(0, netAddress.size(), UpperCase(netAddress)) == 0;
}

void CheckShares(MainWindow& window) {
  Platform& platform = window.platform;
  platform.EnableButton(false);
  platform.EnableTimer(TimerId::TimerUpdate, false);
  int faults = 0;
  for (ShareSlot& slot : window.state.Shares) {
    if (slot.NetAddress.empty()) continue;
    TestAndConnect(window, slot, faults);
    Publish(window, slot);
  }
  LogMessage(window, L"Checking ready " + std::to_wstring(faults) + L" faults");
  platform.EnableTimer(TimerId::TimerUpdate, true);
  platform.EnableButton(true);
}

}  // namespace vt
