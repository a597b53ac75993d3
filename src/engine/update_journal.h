// The journal of an Update under way. Before the Update stops the spooler it
// records what it is about to do, machine-wide in the registry, and it
// records each later step that leaves the machine broken before taking it.
// A run that ends with the machine whole (the monitor in system32, or never
// taken from it, and the spooler running) removes the journal; any other
// run, one that was killed, or a machine that lost power, leaves it, and
// the next run of the program (from any copy of the package, with any
// command line) finishes the Update's work from it.
#pragma once
#include <optional>
#include <string>

#include "platform/platform.h"

// Below HKEY_LOCAL_MACHINE, in the 64-bit view on 64-bit Windows. Only
// administrators can write there.
#define QVR_JOURNAL_PARENT "SOFTWARE\\QVR\\Driver Setup"
#define QVR_JOURNAL_KEY QVR_JOURNAL_PARENT "\\Pending Update"

enum class UpdateStep {
  SpoolerStopped,  // the spooler may be stopped; the monitor is in place
  MonitorRemoved,  // the monitor may be gone from system32; its trusted copy is
                   // named, with its size and SHA-256
};

struct PendingUpdate {
  std::string monitor;           // the language monitor's file name
  std::string installedMonitor;  // its full path in system32
  std::string backupFile;        // the full path of its trusted copy
  DWORD backupSize = 0;          // the copy's size and SHA-256 (lower-case hex), once made
  std::string backupSha256;
  UpdateStep step = UpdateStep::SpoolerStopped;
};

// Each write reaches the disk before the call returns. false, with the
// registry's error as the thread's last error, when it could not be made.
class UpdateJournal {
 public:
  UpdateJournal(platform::IRegistry& registry, platform::IThreadError& error)
      : m_registry(registry), m_error(error) {}

  bool Record(const PendingUpdate& pending);
  // The trusted copy's size and hash, and then the step MonitorRemoved.
  bool RecordMonitorRemoved(DWORD backupSize, const std::string& backupSha256);
  // The journal that an earlier run left, if any.
  std::optional<PendingUpdate> Read();
  // false, with the registry's error, also for a journal that isn't there.
  bool Remove();

 private:
  bool Failed(LONG code);

  platform::IRegistry& m_registry;
  platform::IThreadError& m_error;
};
