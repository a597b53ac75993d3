#include "ui/operator_texts.h"

#include <gtest/gtest.h>

#include <set>

#include "sim_run.h"

namespace {

using headless::LastControl;

constexpr OperatorLanguage kTranslated[] = {OperatorLanguage::German,   OperatorLanguage::French,
                                            OperatorLanguage::Spanish,  OperatorLanguage::Italian,
                                            OperatorLanguage::Japanese, OperatorLanguage::Chinese};

// The "%s" and the other "%" sequences of a text, in order.
std::string Placeholders(const std::string& text) {
  std::string found;
  for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2))
    found += text.substr(at, 2);
  return found;
}

TEST(OperatorTexts, EveryTextHasSixTranslationsWithItsPlaceholders) {
  size_t count = 0;
  const OperatorText* rows = OperatorTexts(&count);
  std::set<std::string> english;
  for (size_t i = 0; i < count; ++i) {
    const OperatorText& row = rows[i];
    EXPECT_TRUE(english.insert(row.english).second) << "twice: " << row.english;
    for (OperatorLanguage language : kTranslated) {
      const char* text = row.In(language);
      ASSERT_NE(text, nullptr) << row.english;
      EXPECT_STRNE(text, "") << row.english;
      EXPECT_EQ(Placeholders(text), Placeholders(row.english)) << row.english << " / " << text;
    }
  }
}

TEST(OperatorTexts, PrimaryLanguagePicksTheColumnAndNamesStayAsTheyAre) {
  EXPECT_EQ(OperatorLanguageOf(0x0807), OperatorLanguage::German);   // Swiss German
  EXPECT_EQ(OperatorLanguageOf(0x0C04), OperatorLanguage::Chinese);  // Hong Kong
  EXPECT_EQ(OperatorLanguageOf(0x041D), OperatorLanguage::English);  // Swedish
  auto marked = [](const std::string& name) { return "<" + name + ">"; };
  EXPECT_EQ(ShownText("QVR Driver Installation", OperatorLanguage::German, marked),
            "<QVR>-Treiberinstallation");
  EXPECT_EQ(ShownText("Language Monitor backup: Done.\r\n", OperatorLanguage::Japanese, marked),
            "言語モニターのバックアップ: <Done.\r\n>");
  EXPECT_EQ(ShownText("setup.inf", OperatorLanguage::French, marked), "<setup.inf>");
  EXPECT_EQ(ShownText("Install", OperatorLanguage::English, marked), "<Install>");
}

TEST(OperatorTexts, GermanOperatorReadsGermanWhileAScriptsRunStaysEnglish) {
  SimRun run;
  run.machine.uiLanguage = 0x0407;
  run.Start("setup.inf");
  EXPECT_EQ(run.session.dialogs.at(0).caption, "QVR Driver Setup");
  EXPECT_EQ(LastControl(IDOK).text, "Beenden");
  EXPECT_EQ(LastControl(IDC_INSTALL).text, "Installieren");
  EXPECT_EQ(LastControl(IDC_UPDATE).text, "Aktualisieren");
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, std::vector<std::string>{"Kein Drucker verfügbar."});
  ASSERT_EQ(run.session.messageBoxes.size(), 2u);
  EXPECT_EQ(run.session.messageBoxes[0].caption, "Letzter Fehler");
  EXPECT_EQ(run.session.messageBoxes[1].text, "setup.inf");  // a name, not a text
  EXPECT_EQ(run.session.messageBoxes[1].caption, "Fehler beim Lesen der INF-Datei");

  // A script's printer name finds the English placeholder, and its log is
  // the English run's.
  SimRun script;
  script.machine.uiLanguage = 0x0407;
  script.Start("missing.inf \"No Printer available!\"");
  EXPECT_EQ(script.Log(),
            "The system cannot find the file specified.\r\n"
            "The system cannot find the file specified.\r\n");
}

}  // namespace
