// Reads the package's INF: driver version, manufacturer, models and the
// language monitor of each model.
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/models_section.h"
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

// The strings of a zero-terminated list of `length` characters.
std::vector<std::string> SplitList(const std::vector<char>& list, DWORD length) {
  std::vector<std::string> strings;
  std::size_t start = 0;
  for (std::size_t k = 0; k < length && k < list.size(); ++k) {
    if (list[k] != '\0') continue;
    if (k == start) break;  // the list's final terminator
    strings.emplace_back(&list[start], k - start);
    start = k + 1;
  }
  return strings;
}

// The longest install section name whose platform variant is asked for.
// The variant is composed in a buffer of MAX_PATH characters, and Wine
// overruns it for longer names. (No section name is longer than 255.)
constexpr std::size_t kLongestSectionToDecorate = MAX_PATH - sizeof(".NTamd64");

// Section names compare without case.
std::string FoldedName(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// The fields of the Manufacturer line from field 1 on; none when they can't
// be read.
std::vector<std::string> ManufacturerFields(platform::ISetupApi& setup, const INFCONTEXT& line) {
  DWORD length = 0;
  if (!setup.SetupGetMultiSzFieldA(&line, 1, nullptr, 0, &length) || length == 0) return {};
  std::vector<char> list(length + 1, '\0');
  if (!setup.SetupGetMultiSzFieldA(&line, 1, list.data(), length, &length)) return {};
  return SplitList(list, length);
}

// The install section that ARM64 Windows takes: the ".NTarm64" variant,
// else the ".NT" one, else the name itself. A section counts when it is
// there, even empty.
std::string Arm64InstallSection(platform::ISetupApi& setup, HINF inf, const std::string& name) {
  for (const char* extension : {".NTarm64", ".NT"}) {
    std::string variant = name + extension;
    if (setup.SetupGetLineCountA(inf, variant.c_str()) >= 0) return variant;
  }
  return name;
}

}  // namespace

// The platform that a decorated Manufacturer line is read for: this build's
// architecture, or on ARM64 Windows, where both builds run emulated, the
// machine's; and the version the system tells.
TargetPlatform CSetupDlg::GetTargetPlatform() {
  TargetPlatform target;
  target.architecture = m_machine.Arm64() ? "arm64" : m_platform.x64Program ? "amd64" : "x86";
  OSVERSIONINFOEXA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (m_platform.version->GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version))) {
    target.major = version.dwMajorVersion;
    target.minor = version.dwMinorVersion;
    target.build = version.dwBuildNumber;
    target.productType = version.wProductType;
    target.suiteMask = version.wSuiteMask;
  }
  return target;
}

// The language monitor of an install section: "LanguageMonitor" in the
// section that its "DataSection" names, else in the install section
// itself. Both looked for in the section that the Setup API names for
// this platform (a ".NTx86", ".NTamd64" or ".NT" variant where one exists).
// When neither is there, the error of the first lookup is kept.
CSetupDlg::MonitorLookup CSetupDlg::LookUpMonitor(HINF inf, const std::string& installSection) {
  platform::ISetupApi& setup = *m_platform.setup;
  char actual[MAX_PATH] = {};
  const char* section = installSection.c_str();
  std::string arm64Section;
  if (m_machine.Arm64()) {
    // The emulated process's Setup API would name the x86 or amd64 variant.
    arm64Section = Arm64InstallSection(setup, inf, installSection);
    section = arm64Section.c_str();
  } else if (installSection.size() <= kLongestSectionToDecorate &&
             setup.SetupDiGetActualSectionToInstallA(inf, section, actual, MAX_PATH, nullptr,
                                                     nullptr)) {
    section = actual;
  }

  MonitorLookup lookup;
  char dataSection[MAX_PATH] = {};
  char value[MAX_PATH] = {};
  lookup.found = setup.SetupGetLineTextA(nullptr, inf, section, "DataSection", dataSection,
                                         MAX_PATH, nullptr) &&
                 setup.SetupGetLineTextA(nullptr, inf, dataSection, "LanguageMonitor", value,
                                         MAX_PATH, nullptr);
  if (!lookup.found) {
    lookup.error = m_platform.error->GetLastError();
    lookup.found =
        setup.SetupGetLineTextA(nullptr, inf, section, "LanguageMonitor", value, MAX_PATH, nullptr);
  }
  if (lookup.found) {
    const char* comma = std::strchr(value, ',');
    lookup.monitor = comma != nullptr ? comma + 1 : value;
  }
  return lookup;
}

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
  std::string path = m_paths.InfPath(infFile.str());
  if (path.size() >= MAX_PATH) {
    m_platform.error->SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return fail(infFile, "Error Reading INF!");
  }

  UINT errorLine = 0;
  platform::InfHandle inf(
      setup, setup.SetupOpenInfFileA(path.c_str(), "Printer", INF_STYLE_WIN4, &errorLine));
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

  // A line of one field names the models section itself. More fields are a
  // base name and the platforms that it has models sections for.
  std::optional<std::string> modelsSection = manufacturer.str();
  if (std::strchr(text.data(), ',') != nullptr) {
    std::vector<std::string> fields = ManufacturerFields(setup, context);
    if (fields.size() > 1) {
      manufacturer = fields.front().c_str();
      TargetPlatform target = GetTargetPlatform();
      modelsSection = ChooseModelsSection(fields, target);
      std::optional<std::string> arm64Models =
          ChooseModelsSection(fields, target, ArchitectureNamed::kRequired);
      m_bArm64Models = m_machine.Arm64() && arm64Models &&
                       setup.SetupGetLineCountA(inf.get(), arm64Models->c_str()) >= 0;
    }
  }

  m_grpInstallation.SetWindowText(manufacturer + " Driver Installation");

  // Many models share an install section: each is looked up once.
  std::unordered_map<std::string, MonitorLookup> lookups;
  LONG count = modelsSection ? setup.SetupGetLineCountA(inf.get(), modelsSection->c_str()) : 0;
  for (LONG i = 0; i < count; ++i) {
    if (i == 0) {
      if (!setup.SetupFindFirstLineA(inf.get(), modelsSection->c_str(), nullptr, &context))
        return fail("Error Reading Model!", "Reading INF");
    } else if (!setup.SetupFindNextLine(&context, &context)) {
      break;
    }

    DWORD fieldLength = 0;
    setup.SetupGetMultiSzFieldA(&context, 1, nullptr, 0, &fieldLength);
    std::vector<char> fields(std::max<DWORD>(fieldLength, 255) + 2, '\0');
    if (!setup.SetupGetMultiSzFieldA(&context, 1, fields.data(), fieldLength, &fieldLength))
      return fail("Error Reading Model field!", "Reading INF");

    // A model whose monitor can't be found gets an empty entry, which Update
    // refuses, rather than another model's monitor.
    ModelLine line = ParseModelFields(fields, fieldLength);
    MonitorLookup lookup;
    if (line.hasInstallSection) {
      auto [known, added] = lookups.try_emplace(FoldedName(line.installSection));
      if (added) known->second = LookUpMonitor(inf.get(), line.installSection);
      lookup = known->second;
      if (!lookup.found) {
        m_platform.error->SetLastError(lookup.error);
        ShowLastError();
      }
    }
    m_lbMonitors.AddString(lookup.monitor.c_str());
    pModelList->AddString(line.modelName.c_str());
  }

  pModelList->SetCurSel(0);
  return TRUE;
}
