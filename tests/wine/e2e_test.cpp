// End-to-end tests: the real qvrsetup.exe, started as a user or an
// installation script starts it, observed through its windows.
//
// Environment:
//   QVR_EXE      path of qvrsetup.exe (default: next to this program)
//   QVR_WORKDIR  scratch folder; each test works in a fresh subfolder named
//                after it (default: %TEMP%\qvr_e2e), but for the tests with
//                installed printers, which unpack their package into the
//                scratch folder itself
// Under Wine, tests/wine/wine_prefix.sh sets both and gives every test a
// prefix of its own, with the printers, the running spooler and the side
// tool that the test needs (see CMakeLists.txt). On Windows, copy
// qvrsetup.exe, this program and KillLogoTestingWarnings.exe into one folder
// and run this one; the tests with installed printers then need the
// printers of data/printers.reg installed and change the machine (system32,
// the INF store, a device).
#include <string>
#include <vector>

#include "setup_program.h"

namespace {

using namespace setup_e2e;

// Without arguments and without an INF the program explains twice, one
// dialog after the other, and ends. The main dialog never opens.
TEST_F(SetupProgram, NoArgumentsWithoutInf) {
  ASSERT_NO_FATAL_FAILURE(Start(""));

  HWND search = AwaitWindow(kErrorCaption);
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(e2e::ControlText(search, IDC_ERROR_MESSAGE), "Error enumerating INF files!");
  EXPECT_EQ(e2e::ControlText(search, IDC_ERROR_CODE), "2");  // ERROR_FILE_NOT_FOUND
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id()).size(), 1u) << e2e::DescribeWindows(m_child.Id());
  ASSERT_NO_FATAL_FAILURE(Dismiss(search, IDOK));

  HWND none = AwaitWindow(kErrorCaption);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(e2e::ControlText(none, IDC_ERROR_MESSAGE), "No INF file found!");
  EXPECT_EQ(e2e::ControlText(none, IDC_ERROR_CODE), "0");
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id()).size(), 1u) << e2e::DescribeWindows(m_child.Id());
  ASSERT_NO_FATAL_FAILURE(Dismiss(none, IDOK));

  ExpectEndsWithCodeZero();
}

// Discovery takes an INF from the current folder, whatever the case of its
// extension, and the main dialog opens on it without any error dialog.
TEST_F(SetupProgram, InfDiscoveryFindsInfWithoutArguments) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("QVR Printer.INF", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(Start(""));

  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id()).size(), 1u) << e2e::DescribeWindows(m_child.Id());
  // The models show that the reader got the name that discovery found.
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS), kModels);
  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));

  ExpectEndsWithCodeZero();
}

// An INF and no printer name: an interactive run. The dialog shows what the
// INF offers and, with no printer installed, offers Install, shows the red
// cross and waits for the user. End closes it, and an interactive run leaves
// no progress log behind.
TEST_F(SetupProgram, InfWithoutPrinterShowsMainDialog) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));

  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id()).size(), 1u) << e2e::DescribeWindows(m_child.Id());

  EXPECT_EQ(e2e::ListItems(dialog, IDC_INSTALLED),
            std::vector<std::string>{"No Printer available!"});
  EXPECT_EQ(e2e::ListItems(dialog, IDC_DRIVER_VERSIONS), std::vector<std::string>{});
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS), kModels);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MONITORS), kMonitors);
  // The reader selects the first model; an interactive run clears that.
  EXPECT_EQ(e2e::ListSelection(dialog, IDC_MODELS), LB_ERR);

  EXPECT_TRUE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  EXPECT_TRUE(e2e::ControlEnabled(dialog, IDOK));

  EXPECT_EQ(e2e::ControlText(dialog, IDC_DRIVERVER), "05/14/2024,2.3.0.1");
  EXPECT_EQ(e2e::ControlText(dialog, IDC_STATUS), "Select the printer you want to install.");
  EXPECT_EQ(e2e::ControlText(dialog, IDC_RESULT), "");  // not the template's "Static"
  EXPECT_EQ(e2e::ControlText(dialog, IDC_GRP_INSTALLATION), "QVR Driver Installation");

  HICON shown = e2e::StaticIcon(dialog, IDC_STATE_ICON);
  ASSERT_NE(shown, nullptr);
  std::optional<std::vector<DWORD>> shownPixels = e2e::IconPixels(shown);
  if (e2e::RunningUnderWine()) {
    // Wine keeps an icon's pictures in the process that loaded it: for a
    // handle from another process GetIconInfo fails, where Windows shares
    // icons between all processes of a session. So under Wine the test
    // cannot see which picture the control shows. If this starts to fail,
    // Wine shares icons now and the comparison below can run here too.
    EXPECT_FALSE(shownPixels.has_value()) << "Wine read another process's icon";
  } else {
    HICON cross = e2e::LoadIconFromFile(m_exe, IDI_STATE_ERROR);
    HICON arrow = e2e::LoadIconFromFile(m_exe, IDI_STATE_SELECT);
    ASSERT_NE(cross, nullptr);
    ASSERT_NE(arrow, nullptr);
    ASSERT_TRUE(shownPixels.has_value());
    EXPECT_EQ(shownPixels, e2e::IconPixels(cross)) << "the state icon is not the red cross";
    EXPECT_NE(shownPixels, e2e::IconPixels(arrow)) << "the state icon kept its template picture";
    ::DestroyIcon(cross);
    ::DestroyIcon(arrow);
  }

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

// Picking a model that no installed printer's name contains offers Install.
// "No Printer available!" is compared like a printer name and contains
// neither model.
TEST_F(SetupProgram, SelectingModelWithoutPrinterOffersInstall) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);

  ASSERT_TRUE(e2e::SelectListItem(dialog, IDC_MODELS, 1));
  ASSERT_TRUE(e2e::WaitForControlText(dialog, IDC_STATUS,
                                      "Press the Install button to start the installation."))
      << "status: \"" << e2e::ControlText(dialog, IDC_STATUS) << "\"";
  EXPECT_TRUE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  EXPECT_EQ(e2e::ListSelection(dialog, IDC_MODELS), 1);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_INSTALLED),
            std::vector<std::string>{"No Printer available!"});

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
}

// A printer name that begins no installed printer's name: nothing to do.
// The dialog closes inside its own initialisation, so the program ends by
// itself without ever showing a window, and it writes no progress log.
TEST_F(SetupProgram, PrinterMatchingNothingEndsAlone) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf \"Nothing\" SILENT"));

  DWORD exitCode = 0;
  std::vector<std::string> shown;
  ASSERT_TRUE(m_child.WaitForExitWatchingWindows(kEndsAloneMs, &exitCode, &shown))
      << "still running after " << kEndsAloneMs << " ms; " << e2e::DescribeWindows(m_child.Id());
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(ShownBesidesWineFlash(shown), std::vector<std::string>{});
  EXPECT_FALSE(FileExists(kLogFile));
}

// Every local printer is listed in the spooler's order, with the version of
// the driver recorded under the printer's own name; records under the
// driver's name, of the 64-bit environment or without a date don't count.
// The INF's side is shown as without printers, and with printers installed
// neither button is offered before a model is chosen.
TEST_F(InstalledPrinters, InstalledPrintersListedWithDriverVersions) {
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);

  const std::vector<std::string> order = LocalPrinters();
  std::vector<std::string> versions;
  for (const std::string& name : order)
    for (const auto& printer : kInstalledPrinters)
      if (printer.first == name) versions.push_back(printer.second);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_INSTALLED), order);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_DRIVER_VERSIONS), versions);
  EXPECT_EQ(e2e::ListSelection(dialog, IDC_INSTALLED), 0);

  EXPECT_EQ(e2e::ControlText(dialog, IDC_GRP_INSTALLATION), "QVR Driver Installation");
  EXPECT_EQ(e2e::ControlText(dialog, IDC_DRIVERVER), "03/11/2024,1.2.3.5");
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS), kPackageModels);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MONITORS), kPackageMonitors);
  EXPECT_EQ(e2e::ListSelection(dialog, IDC_MODELS), LB_ERR);
  EXPECT_EQ(e2e::ControlText(dialog, IDC_STATUS), "Select the printer you want to install.");
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

// A model whose name occurs in an installed printer's name offers Update,
// any other Install; each choice replaces the one before.
TEST_F(InstalledPrinters, SelectingModelOffersUpdateOrInstall) {
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);

  struct Choice {
    int model;
    bool update;
  };
  // Alternating, so that every choice changes the status line.
  for (Choice choice : {Choice{0, true}, Choice{1, false}, Choice{0, true}, Choice{2, false}}) {
    SCOPED_TRACE("model " + kPackageModels[choice.model]);
    ASSERT_NO_FATAL_FAILURE(
        SelectModel(dialog, choice.model, choice.update ? kUpdateOffered : kInstallOffered));
    EXPECT_EQ(e2e::ControlEnabled(dialog, IDC_UPDATE), choice.update);
    EXPECT_EQ(e2e::ControlEnabled(dialog, IDC_INSTALL), !choice.update);
  }
  // The printers stay as they were listed.
  EXPECT_EQ(e2e::ListItems(dialog, IDC_INSTALLED), LocalPrinters());

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
}

// The unattended update that an installation script runs: every step in
// the log, the monitor backed up and removed, the spooler running again,
// the side tool started with //NOLOGO, the device's driver taken from the
// package, and exit status 0 for the script.
TEST_F(InstalledPrinters, UnattendedUpdate) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(true));
  ASSERT_NO_FATAL_FAILURE(PlugInPrinter());

  DWORD exitCode = 0;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf \"QVR 3417\" SILENT", &exitCode));
  EXPECT_EQ(exitCode, 0u);

  ExpectLog(UpdateLogUpToDriverUpdate(false).Text("Driver update completed."));
  ExpectMonitorBackedUpAndSpoolerRunning();
  ExpectDeviceDriverFromPackage();
  // The tool's command line is exactly the one argument, which stands
  // where a program name usually does.
  EXPECT_EQ(AwaitFile(Path(kSideToolRecord)), std::string("//NOLOGO"));
}

// An update for a printer that is not plugged in, with SILENT but no side
// tool in the package: the missing tool is logged with the runtime's
// errno and the update goes on. On Windows the driver update then finds no
// device, reports so and the run fails.
TEST_F(InstalledPrinters, UnattendedUpdateWithoutDeviceOrTool) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(false));

  DWORD exitCode = 0;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf \"QVR 3417\" SILENT", &exitCode));

  LogPattern expected = UpdateLogUpToDriverUpdate(true);
  if (e2e::RunningUnderWine()) {
    // Wine's UpdateDriverForPlugAndPlayDevices looks for a device with the
    // ID, installs on none and still reports success, where Windows fails
    // with ERROR_NO_SUCH_DEVINST. Should this start to fail, Wine now
    // answers as Windows does and the other branch holds for both.
    EXPECT_EQ(exitCode, 0u);
    expected.Text("Driver update completed.");
  } else {
    EXPECT_EQ(exitCode, 1u);
    expected.Text(kNotPluggedIn);
  }
  ExpectLog(expected);
  ExpectMonitorBackedUpAndSpoolerRunning();
}

// A printer name that begins an installed printer's name ("Halvern LX 520")
// but no model name: an unattended Install. The INF goes into the INF
// store, the log is created and stays empty, and the script gets 0.
TEST_F(InstalledPrinters, UnattendedInstall) {
  const std::vector<std::string> before = InfStore();

  DWORD exitCode = 0;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf \"Halvern\"", &exitCode));
  EXPECT_EQ(exitCode, 0u);

  ExpectPackageInfAddedToStore(before);
  EXPECT_EQ(ReadWholeFile(Path(kLogFile)), std::string());
}

// The user picks the installed printer's model and presses Update. The
// dialog reports only in its status line: no message box on the way, and
// afterwards only End is left. An interactive run writes no log.
TEST_F(InstalledPrinters, InteractiveUpdate) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(false));
  ASSERT_NO_FATAL_FAILURE(PlugInPrinter());
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  ASSERT_NO_FATAL_FAILURE(SelectModel(dialog, kUpdateModel, kUpdateOffered));

  ASSERT_TRUE(e2e::PressButton(dialog, IDC_UPDATE));
  std::vector<std::string> boxes;
  ASSERT_TRUE(e2e::WaitForProcedureEnd(m_child.Id(), dialog, IDC_STATUS, "Driver update completed.",
                                       &boxes))
      << "status: \"" << e2e::ControlText(dialog, IDC_STATUS) << "\"";
  EXPECT_EQ(boxes, std::vector<std::string>{});
  EXPECT_EQ(e2e::ControlText(dialog, IDC_RESULT), "");
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  EXPECT_TRUE(e2e::ControlEnabled(dialog, IDOK));
  ExpectMonitorBackedUpAndSpoolerRunning();
  ExpectDeviceDriverFromPackage();

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

// The user picks a model that no installed printer has and presses
// Install: the INF goes into the store and the result line tells where
// the driver files stay.
TEST_F(InstalledPrinters, InteractiveInstall) {
  const std::vector<std::string> before = InfStore();
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  ASSERT_NO_FATAL_FAILURE(SelectModel(dialog, kInstallModel, kInstallOffered));

  ASSERT_TRUE(e2e::PressButton(dialog, IDC_INSTALL));
  std::vector<std::string> boxes;
  ASSERT_TRUE(
      e2e::WaitForProcedureEnd(m_child.Id(), dialog, IDC_STATUS, "Operation completed.", &boxes))
      << "status: \"" << e2e::ControlText(dialog, IDC_STATUS) << "\"";
  EXPECT_EQ(boxes, std::vector<std::string>{});
  // Two blanks after "are", as scripts expect them.
  EXPECT_EQ(e2e::ControlText(dialog, IDC_RESULT),
            "The INF file was copied and the driver files are  stored in the following "
            "directory: " +
                m_folder);
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  ExpectPackageInfAddedToStore(before);

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

// ---------------------------------------------------------------------------
// The operator's language. wine_prefix.sh runs each row with LANG set to its
// locale, which Wine makes the user's UI language.

struct LanguageRow {
  const char* name;
  const char* end;
  const char* install;
  const char* update;
  const char* select;  // the first status line
  const char* updateOffered;
  const char* installOffered;
  const char* errorCaption;
  const char* enumerationError;
  friend void PrintTo(const LanguageRow& row, std::ostream* os) { *os << row.name; }
};

class OperatorLanguage : public InstalledPrinters,
                         public ::testing::WithParamInterface<LanguageRow> {
 protected:
  // The DPI that programs started from now on take.
  static void SetDpi(DWORD dpi) {
    for (auto [root, key] : {std::pair{HKEY_CURRENT_USER, "Control Panel\\Desktop"},
                             std::pair{HKEY_CURRENT_CONFIG, "Software\\Fonts"}})
      ASSERT_EQ(::RegSetKeyValueA(root, key, "LogPixels", REG_DWORD, &dpi, sizeof dpi),
                ERROR_SUCCESS);
  }

  // Every caption of the dialog fits its control.
  static void ExpectCaptionsFit(HWND dialog, int dpi) {
    for (const e2e::CaptionFit& fit : e2e::MeasureCaptions(dialog, dpi)) {
      if (fit.id == IDOK && fit.clientWidth > 0) {
        EXPECT_NEAR(fit.clientWidth, ::MulDiv(50, fit.baseUnit, 4), 1)
            << "the dialog's font is not the one measured with";
      }
      EXPECT_TRUE(fit.Fits()) << "at " << dpi << " DPI, control " << fit.id << " \"" << fit.text
                              << "\": " << fit.width << " x " << fit.height << " in "
                              << fit.clientWidth << " x " << fit.clientHeight;
    }
  }
};

// The dialog at three DPIs, with its buttons and status lines in the
// language and every caption fitting; the error dialog of a folder without
// an INF; and the unattended Update, whose log is the English run's.
TEST_P(OperatorLanguage, DialogAndBoxesInTheLanguageAndTheLogInEnglish) {
  const LanguageRow& row = GetParam();
  for (int dpi : {96, 144, 192}) {
    SCOPED_TRACE(std::to_string(dpi) + " DPI");
    ASSERT_NO_FATAL_FAILURE(SetDpi(dpi));
    ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
    HWND dialog = AwaitWindow(kMainCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(e2e::ControlText(dialog, IDOK), row.end);
    EXPECT_EQ(e2e::ControlText(dialog, IDC_INSTALL), row.install);
    EXPECT_EQ(e2e::ControlText(dialog, IDC_UPDATE), row.update);
    EXPECT_EQ(e2e::ControlText(dialog, IDC_STATUS), row.select);
    ExpectCaptionsFit(dialog, dpi);
    ASSERT_NO_FATAL_FAILURE(SelectModel(dialog, kUpdateModel, row.updateOffered));
    ExpectCaptionsFit(dialog, dpi);
    ASSERT_NO_FATAL_FAILURE(SelectModel(dialog, kInstallModel, row.installOffered));
    ExpectCaptionsFit(dialog, dpi);
    ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
    ExpectEndsWithCodeZero();
  }
  ASSERT_NO_FATAL_FAILURE(SetDpi(96));

  const std::string empty = Path("empty");
  ASSERT_TRUE(MakeEmptyFolder(empty));
  std::string error;
  ASSERT_TRUE(m_child.Start(m_exe, "", empty, &error)) << error;
  HWND search = AwaitWindow(row.errorCaption);
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(e2e::ControlText(search, IDC_ERROR_MESSAGE), row.enumerationError);
  ExpectCaptionsFit(search, 96);
  ASSERT_NO_FATAL_FAILURE(Dismiss(search, IDOK));
  HWND none = AwaitWindow(row.errorCaption);
  ASSERT_NE(none, nullptr);
  ExpectCaptionsFit(none, 96);
  ASSERT_NO_FATAL_FAILURE(Dismiss(none, IDOK));
  ExpectEndsWithCodeZero();

  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(true));
  ASSERT_NO_FATAL_FAILURE(PlugInPrinter());
  DWORD exitCode = 1;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf \"QVR 3417\" SILENT", &exitCode));
  EXPECT_EQ(exitCode, 0u);
  ExpectLog(UpdateLogUpToDriverUpdate(false).Text("Driver update completed."));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, OperatorLanguage, ::testing::Values(
    LanguageRow{"InGerman", "Beenden", "Installieren", "Aktualisieren",
                "Wählen Sie den Drucker aus, den Sie installieren möchten.",
                "Klicken Sie auf „Aktualisieren“, um die Installation zu starten.",
                "Klicken Sie auf „Installieren“, um die Installation zu starten.",
                "Fehler", "Fehler beim Auflisten der INF-Dateien."},
    LanguageRow{"InFrench", "Quitter", "Installer", "Mettre à jour",
                "Sélectionnez l'imprimante à installer.",
                "Cliquez sur Mettre à jour pour démarrer l'installation.",
                "Cliquez sur Installer pour démarrer l'installation.",
                "Erreur", "Erreur lors de l'énumération des fichiers INF."},
    LanguageRow{"InSpanish", "Salir", "Instalar", "Actualizar",
                "Seleccione la impresora que desea instalar.",
                "Haga clic en Actualizar para iniciar la instalación.",
                "Haga clic en Instalar para iniciar la instalación.",
                "Error", "Error al enumerar los archivos INF."},
    LanguageRow{"InItalian", "Esci", "Installa", "Aggiorna",
                "Selezionare la stampante da installare.",
                "Fare clic su Aggiorna per avviare l'installazione.",
                "Fare clic su Installa per avviare l'installazione.",
                "Errore", "Errore durante l'enumerazione dei file INF."},
    LanguageRow{"InJapanese", "終了", "インストール", "更新",
                "インストールするプリンターを選択してください。",
                "[更新] をクリックして、インストールを開始してください。",
                "[インストール] をクリックして、インストールを開始してください。",
                "エラー", "INF ファイルの列挙中にエラーが発生しました。"},
    LanguageRow{"InChinese", "退出", "安装", "更新", "请选择要安装的打印机。",
                "请单击“更新”开始安装。", "请单击“安装”开始安装。",
                "错误", "枚举 INF 文件时出错。"},
    // A language the program has no texts for gets English.
    LanguageRow{"SwedishGetsEnglish", "End", "Install", "Update",
                "Select the printer you want to install.", kUpdateOffered, kInstallOffered,
                kErrorCaption, "Error enumerating INF files!"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
