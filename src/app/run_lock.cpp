// One run at a time on a machine: a named mutex in the Global namespace, so
// that runs in different sessions (an operator's desktop, a deployment
// agent's session 0) see each other. The run that takes it holds it until
// it ends; the mutex of a run that crashed is abandoned, and the next run
// takes it over.
#include "app/setup_app.h"
#include "platform/handles.h"

bool CSetupApp::TakeRunLock(const platform::MutexHandle& lock, platform::MutexOwnership& taken) {
  // A mutex that exists but can't be opened belongs to a run under another
  // account: that run is in progress too.
  if (!lock.valid()) return false;
  DWORD wait = m_platform.sync->WaitForSingleObject(lock.get(), 0);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return false;
  taken.reset(lock.get());
  return true;
}

void CSetupApp::ShowRunningSetup() {
  platform::IWindows& windows = *m_platform.windows;
  // The main dialog, by its window class and caption.
  HWND dialog = windows.FindWindowA("#32770", QVR_DIALOG_CAPTION);
  if (dialog == nullptr || !windows.IsWindowVisible(dialog)) return;
  if (windows.IsIconic(dialog)) windows.ShowWindow(dialog, SW_RESTORE);
  windows.SetForegroundWindow(dialog);
}
