#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ansi_code_page.h"

namespace {

struct SplitRow {
  std::string text;
  std::string infFile;
  std::string printerName;
  BOOL silent;
  bool namesNoPrinter = false;
};

void ExpectSplits(const std::vector<SplitRow>& rows, const AnsiCodePage& codePage) {
  for (const SplitRow& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text));
    const CommandLineValues v = SplitCommandLine(CString(row.text), codePage);
    EXPECT_EQ(v.infFile.str(), row.infFile);
    EXPECT_EQ(v.printerName.str(), row.printerName);
    EXPECT_EQ(v.silent, row.silent);
    EXPECT_EQ(v.namesNoPrinter, row.namesNoPrinter);
  }
}

// An argument text holds no double-byte character here, so a double-byte
// code page must split it exactly like a single-byte one.
TEST(SplitCommandLine, SplitsEveryListedArgumentText) {
  const std::vector<SplitRow> rows = {
      {"a.inf", "a.inf", "", FALSE},
      {"a.inf Model", "a.inf", "Model", FALSE},
      {"a.inf Model SILENT", "a.inf", "Model", TRUE},
      {"a.inf Model silent", "a.inf", "Model", TRUE},
      {"a.inf Model NOTSILENTLY", "a.inf", "Model", TRUE},
      {"a.inf Model X SILENT", "a.inf", "Model", TRUE},
      {"a.inf Model  SILENT", "a.inf", "Model", TRUE},
      {"a.inf SILENT", "a.inf", "SILENT", FALSE},
      {"a.inf ModelSILENT", "a.inf", "ModelSILENT", FALSE},
      {"a.inf  Model", "a.inf", "Model", FALSE},
      {"a.inf  SILENT", "a.inf", "SILENT", FALSE},
      {"a.inf   \"My Model\"  SILENT", "a.inf", "My Model", TRUE},
      {"a.inf   ", "a.inf", "", FALSE},
      {"a.inf Model ", "a.inf", "Model", FALSE},
      {"a.inf ", "a.inf", "", FALSE},
      {"a.inf \"My Model\"", "a.inf", "My Model", FALSE},
      {"a.inf \"My Model\" SILENT", "a.inf", "My Model", TRUE},
      {"a.inf \"My Model\" silent", "a.inf", "My Model", TRUE},
      {"a.inf \"My Model\" SILENT \"x\"", "a.inf", "My Model", TRUE},
      {"a.inf \"My Model\"SILENT", "a.inf", "My Model\"SILEN", FALSE},
      {"a.inf \"My Model", "a.inf", "", FALSE, true},
      {"a.inf \"My Model SILENT", "a.inf", "", TRUE, true},
      {"a.inf \"\"", "a.inf", "", FALSE, true},
      {"a.inf \"\" SILENT", "a.inf", "", TRUE, true},
      {"a.inf Model SILENT \"x\"", "a.inf", "odel SILENT \"x", FALSE},
      {"\"a.inf\" Model", "a.inf", "Model", FALSE},
      {"\"a.inf\"", "a.inf", "", FALSE},
      {"\"C:\\My Package\\a.inf\"  \"My Model\" SILENT", "C:\\My Package\\a.inf", "My Model", TRUE},
      {"\"\\\\host\\pkg\\a.inf\"Model", "\\\\host\\pkg\\a.inf", "Model", FALSE},
      {"\"a b.inf\" \"My Model", "a b.inf", "", FALSE, true},
      {"\"a.inf Model", "\"a.inf", "", FALSE, true},
      {"\"\" \"My Model\" SILENT", "\"\"", "", TRUE, true},
      {"\"a.inf", "\"a.inf", "", FALSE},
      {"C:\\pkg\\a.inf \"My Model\"", "C:\\pkg\\a.inf", "My Model", FALSE},
      {"dir\\a.inf Model", "dir\\a.inf", "Model", FALSE},
      {"a.inf\tModel SILENT", "a.inf\tModel", "SILENT", FALSE},
      {"SILENT", "SILENT", "", FALSE},
  };
  for (unsigned int number : {1252u, 932u}) {
    SCOPED_TRACE(number);
    ExpectSplits(rows, TableCodePage(number));
  }
}

TEST(SplitCommandLine, LooksForSilentOnlyAfterThePrinterName) {
  ExpectSplits(
      {
          {"silent.inf Model x", "silent.inf", "Model", FALSE},
          {"a.inf SilentJet x", "a.inf", "SilentJet", FALSE},
          {"a.inf \"Silent Jet\" x", "a.inf", "Silent Jet", FALSE},
          {"Dir\\Setup.Inf \"My Model\" /Silent", "Dir\\Setup.Inf", "My Model", TRUE},
      },
      TableCodePage(1252));
}

TEST(SplitCommandLine, StepsByWholeDoubleByteCharacters) {
  const std::vector<SplitRow> rows = {
      // The trail byte 0x53 is an 'S', but SILENT cannot begin inside a character.
      {"a.inf Model \x83SILENT", "a.inf", "Model", FALSE},
      {"a.inf Model \x83SSILENT", "a.inf", "Model", TRUE},
      // The trail byte 0x73 is an 's'; upper-casing it on its own would let a
      // byte-wise search find SILENT.
      {"a.inf Model \x82silent", "a.inf", "Model", FALSE},
      // A trail byte with a lead byte's value: the 's' after it is a character
      // of its own, whichever way it is looked at.
      {"a.inf Model \x81\x81silent", "a.inf", "Model", TRUE},
      {"a.inf Model \x82\x61silent", "a.inf", "Model", TRUE},
      // Double-byte names come out byte for byte, trail bytes 'a' and '\' included.
      {"a.inf \x83\x5c\x83\x74\x83\x67 silent", "a.inf", "\x83\x5c\x83\x74\x83\x67", TRUE},
      {"\x95\x5c.inf \"\x82\x61 Model\" silent", "\x95\x5c.inf", "\x82\x61 Model", TRUE},
      // A lead byte takes the next byte as its trail byte, even a blank.
      {"a\x81 b c", "a\x81 b", "c", FALSE},
      // A lead byte at the very end stands alone.
      {"a.inf M\x81", "a.inf", "M\x81", FALSE},
      {"a.inf Model silent\x81", "a.inf", "Model", TRUE},
  };
  ExpectSplits(rows, TableCodePage(932));
  // The same bytes as single-byte characters, for contrast.
  ExpectSplits(
      {{"a.inf Model \x83SILENT", "a.inf", "Model", TRUE}, {"a\x81 b c", "a\x81", "b", FALSE}},
      TableCodePage(1252));
}

TEST(SplitCommandLine, SplitsLongTextsWhole) {
  const std::string name = std::string(150, 'p') + " My " + std::string(146, 'q');  // 300 chars
  const std::string inf = "dir\\" + std::string(292, 'i') + ".inf";                 // 300 chars
  const std::string word = std::string(300, 'x');
  ExpectSplits(
      {
          {"a.inf \"" + name + "\" silent", "a.inf", name, TRUE},
          {"a.inf \"" + name + "\"", "a.inf", name, FALSE},
          {inf + " Model silent", inf, "Model", TRUE},
          {inf + " " + word, inf, word, FALSE},
          {"a.inf Model " + word + "silent", "a.inf", "Model", TRUE},
          {"a.inf Model " + word + "silen", "a.inf", "Model", FALSE},
      },
      TableCodePage(1252));
}

TEST(TableCodePage, KnowsTheLeadBytesOf932Only) {
  const TableCodePage sjis(932);
  const TableCodePage latin(1252);
  for (int c = 0; c < 256; ++c) {
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    EXPECT_EQ(sjis.IsLeadByte(static_cast<unsigned char>(c)), lead) << c;
    EXPECT_FALSE(latin.IsLeadByte(static_cast<unsigned char>(c))) << c;
  }
}

TEST(TableCodePage, UpperCasesAsciiLettersOfWholeCharacters) {
  struct Row {
    unsigned int codePage;
    std::string text;
    std::string upper;
  };
  const Row rows[] = {
      {1252, "`az{ AZ@\xe9\xff", "`AZ{ AZ@\xe9\xff"},
      {932, "`az{ AZ@", "`AZ{ AZ@"},
      {932, "a\x82\x61z\x81\x81m\xe0\x7a", "A\x82\x61Z\x81\x81M\xe0\x7a"},
      {932, "a\x81", "A\x81"},
      {1252, std::string("a\0b", 3), std::string("A\0B", 3)},
  };
  for (const Row& row : rows) {
    std::string text = row.text;
    TableCodePage(row.codePage).MakeUpper(text);
    EXPECT_EQ(text, row.upper) << row.codePage;
  }
}

}  // namespace
