// Reads the package's INF: driver version, manufacturer, models and the
// language monitor of each model.
#include <cstring>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "ui/setup_dlg.h"

namespace {

// What one model line names: its install section and its model name. The
// field list is walked string by string; the hardware ID in between is not
// needed here, and strings after the model name are ignored.
struct ModelLine {
  std::string installSection;
  std::string modelName;
  bool hasInstallSection = false;
};

ModelLine ParseModelFields(const std::vector<char>& fields, DWORD length) {
  enum { kSection, kHardwareId, kModel } state = kSection;
  ModelLine line;
  size_t start = 0;
  for (DWORD k = 1; k < length && k < fields.size(); ++k) {
    if (fields[k] != '\0') continue;
    if (state == kSection) {
      line.installSection.assign(&fields[start]);
      line.hasInstallSection = true;
      start = k + 1;
      state = kHardwareId;
    } else if (state == kHardwareId) {
      start = k + 1;
      state = kModel;
    } else {
      line.modelName.assign(&fields[start]);
      break;
    }
  }
  return line;
}

}  // namespace

BOOL CSetupDlg::ReadInf(CString infFile, CListBox* pModelList) {
  platform::ISetupApi& setup = *m_platform.setup;
  auto fail = [&](LPCSTR text, LPCSTR caption) {
    ShowLastError();
    Report(text, nullptr, caption);
    return FALSE;
  };

  if (!m_paths.HasFolder()) {
    m_platform.error->SetLastError(m_paths.folderError);
    return fail(infFile, "Error Reading INF!");
  }
  std::string path = m_paths.InFolder(infFile.str());
  if (path.size() >= MAX_PATH) {
    m_platform.error->SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return fail(infFile, "Error Reading INF!");
  }

  UINT errorLine = 0;
  platform::InfHandle inf(setup,
                          setup.SetupOpenInfFileA(path.c_str(), "Printer", INF_STYLE_WIN4, &errorLine));
  if (!inf.valid()) return fail(infFile, "Error Reading INF!");

  // A missing key leaves the version text as it was.
  setup.SetupGetLineTextA(nullptr, inf.get(), "Version", "DriverVer", m_strDriverVer.GetBuffer(255),
                          255, nullptr);
  m_strDriverVer.ReleaseBuffer();

  INFCONTEXT context = {};
  if (!setup.SetupFindFirstLineA(inf.get(), "Manufacturer", nullptr, &context))
    return fail("Error Reading Manufacturer!", "Reading INF");
  DWORD size = 0;
  setup.SetupGetLineTextA(&context, nullptr, nullptr, nullptr, nullptr, 0, &size);
  std::vector<char> text(size + 1, '\0');
  if (!setup.SetupGetLineTextA(&context, nullptr, nullptr, nullptr, text.data(), size, nullptr))
    return fail("Error Reading Manufacturer!", "Reading INF");
  CString manufacturer(text.data());

  m_grpInstallation.SetWindowText(manufacturer + " Driver Installation");

  // The monitor name carries over to the next line when a lookup fails.
  std::string monitor;
  LONG count = setup.SetupGetLineCountA(inf.get(), manufacturer);
  for (LONG i = 0; i < count; ++i) {
    if (i == 0) {
      if (!setup.SetupFindFirstLineA(inf.get(), manufacturer, nullptr, &context))
        return fail("Error Reading Model!", "Reading INF");
    } else if (!setup.SetupFindNextLine(&context, &context)) {
      break;
    }

    DWORD fieldLength = 0;
    setup.SetupGetMultiSzFieldA(&context, 1, nullptr, 0, &fieldLength);
    std::vector<char> fields(std::max<DWORD>(fieldLength, 255) + 2, '\0');
    if (!setup.SetupGetMultiSzFieldA(&context, 1, fields.data(), fieldLength, &fieldLength))
      return fail("Error Reading Model field!", "Reading INF");

    ModelLine line = ParseModelFields(fields, fieldLength);
    if (line.hasInstallSection) {
      char dataSection[MAX_PATH] = {};
      char value[MAX_PATH] = {};
      if (setup.SetupGetLineTextA(nullptr, inf.get(), line.installSection.c_str(), "DataSection",
                                  dataSection, MAX_PATH, nullptr) &&
          setup.SetupGetLineTextA(nullptr, inf.get(), dataSection, "LanguageMonitor", value,
                                  MAX_PATH, nullptr)) {
        const char* comma = std::strchr(value, ',');
        monitor = comma != nullptr ? comma + 1 : value;
      } else {
        ShowLastError();
      }
    }
    m_lbMonitors.AddString(monitor.c_str());
    pModelList->AddString(line.modelName.c_str());
  }

  pModelList->SetCurSel(0);
  return TRUE;
}
