// Windows before 10 version 1903 ignores the manifest's UTF-8 and gives the
// program its texts in the system's ANSI code page. A name outside that code
// page then arrives with '?' or a look-alike (a fullwidth quote as '"') in
// place of its characters, and the run would work on another folder,
// another printer or another command line than the one given. Such a run
// ends before anything is touched.
#include <string>

#include "app/command_line.h"
#include "app/setup_app.h"
#include "engine/exit_status.h"
#include "engine/package_paths.h"
#include "engine/run_event.h"
#include "log/progress_log.h"
#include "ui/operator_texts.h"

namespace {

constexpr char kFolderUnreadable[] =
    "The package folder's name can't be read on this Windows: copy the package to a folder with "
    "a plain name!";
constexpr char kCommandLineUnreadable[] =
    "The command line has characters that this Windows can't pass to the setup!";

using WideString = std::basic_string<WCHAR>;

// Every ANSI code page holds ASCII as it is.
bool IsAscii(const WideString& text) {
  for (WCHAR c : text)
    if (c > 0x7F) return false;
  return true;
}

// Whether ansi is wide converted exactly: widened again, it is wide.
bool ConvertedExactly(platform::IWideText& text, const std::string& ansi, const WideString& wide) {
  if (ansi.empty()) return wide.empty();
  const int bytes = static_cast<int>(ansi.size());
  const int length = text.MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
  if (length <= 0) return false;
  WideString widened(static_cast<size_t>(length), WCHAR{});
  return text.MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, widened.data(), length) ==
             length &&
         widened == wide;
}

}  // namespace

LPCSTR CSetupApp::UnreadableName() {
  platform::IWideText& text = *m_platform.wideText;
  // A folder that can't be read at all is reported where it is read.
  const DWORD room = text.GetCurrentDirectoryW(0, nullptr);
  WideString folder(room, WCHAR{});
  const DWORD length = room != 0 ? text.GetCurrentDirectoryW(room, folder.data()) : 0;
  folder.resize(length < room ? length : 0);
  if (!IsAscii(folder)) {
    char ansi[kPathBytes] = {};
    const DWORD ansiLength = m_platform.files->GetCurrentDirectoryA(kPathBytes, ansi);
    if (ansiLength != 0 && ansiLength < kPathBytes &&
        !ConvertedExactly(text, std::string(ansi, ansiLength), folder))
      return kFolderUnreadable;
  }
  LPCWSTR wideLine = text.GetCommandLineW();
  LPCSTR ansiLine = text.GetCommandLineA();
  if (wideLine != nullptr && ansiLine != nullptr && !IsAscii(wideLine) &&
      !ConvertedExactly(text, ansiLine, wideLine))
    return kCommandLineUnreadable;
  return nullptr;
}

BOOL CSetupApp::RefuseUnreadableNames() {
  LPCSTR refusal = UnreadableName();
  if (refusal == nullptr) return FALSE;
  m_nExitCode = static_cast<int>(kExitFailed);
  CString argumentText = m_lpCmdLine != nullptr ? m_lpCmdLine : "";
  CommandLineValues values;
  if (!argumentText.IsEmpty()) values = SplitCommandLine(argumentText, *m_platform.codePage);
  // An operator reads a box.
  if (values.printerName.IsEmpty()) {
    CWnd().MessageBoxUtf8(ShownText(refusal, OperatorLanguageNow()).c_str(), QVR_DIALOG_CAPTION,
                          MB_OK | MB_ICONHAND);
    return TRUE;
  }
  // A script reads the log, and the event where there can be no log. The
  // log of an INF without a full path goes into the current directory by
  // its bare name, since the folder's own name may be the one that can't be
  // read.
  const std::string infFile = values.infFile.str();
  const std::string log =
      PackagePaths::IsFullPath(infFile)
          ? PackagePaths::Read(*m_platform.files, *m_platform.error, *m_platform.codePage, infFile)
                .Log()
          : std::string(QVR_LOG_FILE_NAME);
  g_hLogFile = CreateProgressLog(*m_platform.files, log);
  if (platform::FileHandle::IsValid(g_hLogFile)) {
    const std::string line = std::string(refusal) + "\n";
    WriteProgressLog(*m_platform.files, line.c_str(), static_cast<DWORD>(line.size()));
    CloseProgressLog(*m_platform.files);
    return TRUE;
  }
  g_hLogFile = nullptr;
  RunFacts facts;
  facts.procedure = "Start-up";
  facts.unattended = true;
  facts.printer = values.printerName.str();
  facts.inf = values.infFile.str();
  facts.exitStatus = kExitFailed;
  facts.outcome = refusal;
  facts.restored = "not needed";
  WriteRunEvent(m_platform, DescribeRun(facts));
  return TRUE;
}
