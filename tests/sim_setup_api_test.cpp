// The simulated Setup API: the INF semantics the reader depends on. The
// conformance check (tests/wine/inf_conformance.sh) holds the same parser
// against the real Setup API; these cases pin the rules down natively.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"

namespace {

using Strings = std::vector<std::string>;

const std::string kVersion =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\nDriverVer=06/21/2006,1.2.3.4\r\n";

std::string Hex(DWORD code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(code));
  return text;
}

// A machine with one INF at C:\pkg\t.inf, opened as the reader opens it.
struct Inf {
  sim::SimMachine machine;
  sim::SimSetupApi& api = machine.setup;
  HINF inf = INVALID_HANDLE_VALUE;
  UINT errorLine = 0;

  explicit Inf(const std::string& text, const char* infClass = "Printer",
               DWORD style = INF_STYLE_WIN4) {
    machine.PutFile("C:\\pkg\\t.inf", text);
    inf = api.SetupOpenInfFileA("C:\\pkg\\t.inf", infClass, style, &errorLine);
  }
  ~Inf() {
    if (inf != INVALID_HANDLE_VALUE) api.SetupCloseInfFile(inf);
    EXPECT_EQ(api.OpenInfs(), 0);
  }
  std::string Error() { return Hex(machine.GetLastError()); }

  // The text of a line by section and key, or its error.
  std::string Text(const char* section, const char* key) {
    char buffer[8192];
    if (!api.SetupGetLineTextA(nullptr, inf, section, key, buffer, sizeof buffer, nullptr))
      return "error " + Error();
    return buffer;
  }
  // The strings from field 1 of a line, as many as the reported size holds,
  // or one string naming the error.
  Strings Fields(const char* section, const char* key) {
    INFCONTEXT line = {};
    if (!api.SetupFindFirstLineA(inf, section, key, &line)) return {"error " + Error()};
    char buffer[8192];
    DWORD size = 0;
    if (!api.SetupGetMultiSzFieldA(&line, 1, buffer, sizeof buffer, &size))
      return {"error " + Error()};
    if (size == 0 || buffer[size - 1] != '\0') return {"not terminated"};
    Strings strings;
    for (std::size_t at = 0; at + 1 < size; at += strings.back().size() + 1)
      strings.emplace_back(buffer + at);
    return strings;
  }
};

struct FieldRow {
  const char* line;  // the entry of key "k" in section [S]
  const char* text;  // SetupGetLineTextA
  Strings fields;    // SetupGetMultiSzFieldA from field 1
};

TEST(SimSetupApi, FieldSyntax) {
  const FieldRow rows[] = {
      {"k = a , b ,c  ", "a,b,c", {"a", "b", "c"}},
      {"k=\"x\"\"y\", \"p,q\" , r\"s\"t", "x\"y,p,q,rst", {"x\"y", "p,q", "rst"}},
      {"k=  x  \"  y  \"  z  ", "x    y    z", {"x    y    z"}},
      {"k=\t tab\there\t", "tab\there", {"tab\there"}},
      {"k=\"\" x", " x", {" x"}},
      {"k=a;b,c", "a", {"a"}},
      {"k=\"a;b\",c", "a;b,c", {"a;b", "c"}},
      {"k=d=e", "d=e", {"d=e"}},
      {"k=a\\b", "a\\b", {"a\\b"}},
      // An empty field ends the string list.
      {"k=x,,y", "x,,y", {"x"}},
      {"k=,x", ",x", {}},
      {"k=", "", {}},
      {"k= ; only a comment", "", {}},
      // An unterminated quote runs to the end of its line, carriage return
      // and all, and no further.
      {"k=\"open,x\r\nnext=1", "open,x\r", {"open,x\r"}},
      // A backslash at the end continues the line; blanks around it go.
      {"k=p \\\r\n   q,r", "pq,r", {"pq", "r"}},
      {"k=1 \\ ; a comment\r\n 2", "12", {"12"}},
      {"k=\"p\\\nq\"", "p\\", {"p\\"}},
      {"k=x\\\r\n[T]", "x[T]", {"x[T]"}},  // even a section name
      // Substitution from [Strings].
      {"k=%S1%,%s1%,pre%S1%post", "one,one,preonepost", {"one", "one", "preonepost"}},
      {"k=%unknown%,a%%b,%%,50%", "%unknown%,a%b,%,50%", {"%unknown%", "a%b", "%", "50%"}},
      {"k=\"%S1%\",% S1 %", "one,% S1 %", {"one", "% S1 %"}},
      {"k=%Commas%,%Nested%,%Padded%", "first,%S1%,  p  ", {"first", "%S1%", "  p  "}},
  };
  for (const FieldRow& row : rows) {
    Inf t(kVersion + "[S]\r\n" + row.line +
          "\r\n[Strings]\r\nS1=one\r\ns1=second definition\r\nCommas=first,second\r\n"
          "Nested=%S1%\r\nPadded=\"  p  \"\r\n");
    ASSERT_NE(t.inf, INVALID_HANDLE_VALUE) << row.line;
    EXPECT_EQ(t.Text("S", "k"), row.text) << row.line;
    EXPECT_EQ(t.Fields("S", "k"), row.fields) << row.line;
  }
}

TEST(SimSetupApi, FieldLengths) {
  std::string big(5000, 'H');
  std::string half(300, 'h');
  Inf t(kVersion + "[S]\r\nliteral=" + big + "\r\nstring=%Long%\r\njoined=%Half%%Half%\r\n" +
        "[Strings]\r\nLong=\"" + std::string(700, 'L') + "\"\r\nHalf=" + half + "\r\n");
  EXPECT_EQ(t.Text("S", "literal"), big.substr(0, 4095));   // an INF string's limit
  EXPECT_EQ(t.Text("S", "string"), std::string(511, 'L'));  // a [Strings] value's limit
  EXPECT_EQ(t.Text("S", "joined"), half + half);
}

TEST(SimSetupApi, SectionsAndKeys) {
  Inf t(kVersion +
        "[Models]\r\nA = one\r\n\"Quoted Key\" = two\r\n%Key% = three\r\nlone\r\nx, y=z\r\n"
        "a = again\r\n= empty key\r\n"
        "[models]\r\nB = merged\r\n"
        "[ Spaced ]\r\nC = spaced\r\n"
        "[Junk]after\r\nD = junk\r\n"
        "[Empty]\r\n; nothing\r\n"
        "[Strings]\r\nKey=\"Sub Key\"\r\n");
  EXPECT_EQ(t.Text("MODELS", "a"), "one");  // the first of two keys
  EXPECT_EQ(t.Text("Models", "quoted key"), "two");
  EXPECT_EQ(t.Text("Models", "Sub Key"), "three");
  EXPECT_EQ(t.Text("Models", "%Key%"), "error 0xE0000102");
  EXPECT_EQ(t.Text("Models", "lone"), "lone");  // a lone value is its own key
  EXPECT_EQ(t.Text("Models", "x"), "error 0xE0000102");
  EXPECT_EQ(t.Text("Models", "y"), "error 0xE0000102");  // '=' after a comma is text
  EXPECT_EQ(t.Text("Models", ""), "empty key");
  EXPECT_EQ(t.Text("Models", "B"), "merged");
  EXPECT_EQ(t.api.SetupGetLineCountA(t.inf, "Models"), 8);
  EXPECT_EQ(t.Text(" Spaced ", "C"), "spaced");
  EXPECT_EQ(t.Text("Spaced", "C"), "error 0xE0000102");
  EXPECT_EQ(t.Text("Junk", "D"), "junk");
  EXPECT_EQ(t.api.SetupGetLineCountA(t.inf, "Empty"), 0);

  // Walking a section: lines in file order, then no next line.
  INFCONTEXT line = {};
  ASSERT_TRUE(t.api.SetupFindFirstLineA(t.inf, "Models", nullptr, &line));
  int lines = 1;
  while (t.api.SetupFindNextLine(&line, &line)) ++lines;
  EXPECT_EQ(lines, 8);
  EXPECT_EQ(t.Error(), "0xE0000102");
  char text[32];
  ASSERT_TRUE(
      t.api.SetupGetLineTextA(&line, nullptr, nullptr, nullptr, text, sizeof text, nullptr));
  EXPECT_STREQ(text, "merged");  // a failed next leaves the context where it was
}

TEST(SimSetupApi, LookupFailures) {
  Inf t(kVersion + "[Manufacturer]\r\nQVR\r\n[Empty]\r\n");
  EXPECT_EQ(t.api.SetupGetLineCountA(t.inf, "Missing"), -1);
  EXPECT_EQ(t.Error(), "0xE0000101");
  EXPECT_EQ(t.Text("Missing", "k"), "error 0xE0000102");  // no section is no line
  EXPECT_EQ(t.Text("Version", "Missing"), "error 0xE0000102");

  INFCONTEXT line = {};
  ASSERT_TRUE(t.api.SetupFindFirstLineA(t.inf, "Manufacturer", nullptr, &line));
  INFCONTEXT before = line;
  for (const char* section : {"Missing", "Empty"}) {
    EXPECT_FALSE(t.api.SetupFindFirstLineA(t.inf, section, nullptr, &line)) << section;
    EXPECT_EQ(t.Error(), "0xE0000102") << section;
    EXPECT_EQ(line.Line, before.Line);
    EXPECT_EQ(line.Section, before.Section);
  }
  char buffer[16];
  for (DWORD field : {0u, 2u}) {
    EXPECT_FALSE(t.api.SetupGetMultiSzFieldA(&line, field, buffer, sizeof buffer, nullptr));
    EXPECT_EQ(t.Error(), "0x57") << field;
  }
}

TEST(SimSetupApi, SizeThenFill) {
  Inf t(kVersion + "[Manufacturer]\r\nQVR = a, b\r\n");
  INFCONTEXT line = {};
  ASSERT_TRUE(t.api.SetupFindFirstLineA(t.inf, "Manufacturer", nullptr, &line));
  auto text = [&](LPSTR buffer, DWORD size, DWORD* required) {
    return t.api.SetupGetLineTextA(&line, nullptr, nullptr, nullptr, buffer, size, required);
  };
  auto fields = [&](LPSTR buffer, DWORD size, DWORD* required) {
    return t.api.SetupGetMultiSzFieldA(&line, 1, buffer, size, required);
  };
  struct Call {
    const char* name;
    std::function<BOOL(LPSTR, DWORD, DWORD*)> call;
    std::string data;  // terminators included
  };
  for (const Call& c : {Call{"text", text, std::string("a,b", 4)},
                        Call{"fields", fields, std::string("a\0b\0", 5)}}) {
    SCOPED_TRACE(c.name);
    auto size = static_cast<DWORD>(c.data.size());
    DWORD required = 0;
    EXPECT_TRUE(c.call(nullptr, 0, &required));
    EXPECT_EQ(required, size);

    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    required = 0;
    t.machine.SetLastError(0);
    EXPECT_FALSE(c.call(buffer, size - 1, &required));
    EXPECT_EQ(t.machine.GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, size);
    EXPECT_EQ(buffer[0], '#');  // nothing written

    EXPECT_TRUE(c.call(buffer, size, nullptr));
    EXPECT_EQ(std::string(buffer, size), c.data);
    EXPECT_EQ(buffer[size], '#');
  }
}

struct OpenRow {
  const char* name;
  std::string text;
  const char* infClass;
  DWORD style;
  DWORD error;  // ERROR_SUCCESS: it opens
  UINT errorLine;
};

TEST(SimSetupApi, OpenChecksStyleClassAndSyntax) {
  const std::string sig = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";
  const OpenRow rows[] = {
      {"printer", kVersion, "Printer", INF_STYLE_WIN4, ERROR_SUCCESS, 0},
      {"class case", sig + "Class=PRINTER\r\n", "printer", INF_STYLE_WIN4, ERROR_SUCCESS, 0},
      {"other class", sig + "Class=Spooler\r\n", "Printer", INF_STYLE_WIN4, ERROR_CLASS_MISMATCH,
       0},
      {"no class", sig, "Printer", INF_STYLE_WIN4, ERROR_CLASS_MISMATCH, 0},
      {"no class asked", sig, nullptr, INF_STYLE_WIN4, ERROR_SUCCESS, 0},
      {"class GUID", sig + "ClassGUID={4d36e979-e325-11ce-bfc1-08002be10318}\r\n", "Printer",
       INF_STYLE_WIN4, ERROR_SUCCESS, 0},
      {"Chicago", "[Version]\r\nSignature=\"$Chicago$\"\r\nClass=Printer\r\n", "Printer",
       INF_STYLE_WIN4, ERROR_SUCCESS, 0},
      {"Windows 95", "[version]\r\nsignature=$WINDOWS 95$\r\nClass=Printer\r\n", "Printer",
       INF_STYLE_WIN4, ERROR_SUCCESS, 0},
      {"no signature", "[Version]\r\nClass=Printer\r\n", "Printer", INF_STYLE_WIN4,
       ERROR_WRONG_INF_STYLE, 0},
      {"no signature, old style", "[Version]\r\n", nullptr, INF_STYLE_OLDNT, ERROR_SUCCESS, 0},
      {"other signature", "[Version]\r\nSignature=\"$Windows 2000$\"\r\n", nullptr, INF_STYLE_WIN4,
       ERROR_WRONG_INF_STYLE, 0},
      {"text before a section", "; comment\r\nk=v\r\n" + kVersion, nullptr, INF_STYLE_WIN4,
       ERROR_EXPECTED_SECTION_NAME, 2},
      {"unclosed section name", kVersion + "\r\n[Models\r\n", nullptr, INF_STYLE_WIN4,
       ERROR_BAD_SECTION_NAME_LINE, 6},
      {"section name of 256", kVersion + "[" + std::string(256, 'S') + "]\r\n", nullptr,
       INF_STYLE_WIN4, ERROR_SECTION_NAME_TOO_LONG, 5},
      {"section name of 255", kVersion + "[" + std::string(255, 'S') + "]\r\n", nullptr,
       INF_STYLE_WIN4, ERROR_SUCCESS, 0},
      {"empty file", "", nullptr, INF_STYLE_WIN4, ERROR_FILE_INVALID, 0},
  };
  for (const OpenRow& row : rows) {
    Inf t(row.text, row.infClass, row.style);
    if (row.error == ERROR_SUCCESS) {
      EXPECT_NE(t.inf, INVALID_HANDLE_VALUE) << row.name << ": " << t.Error();
      continue;
    }
    EXPECT_EQ(t.inf, INVALID_HANDLE_VALUE) << row.name;
    EXPECT_EQ(t.Error(), Hex(row.error)) << row.name;
    EXPECT_EQ(t.errorLine, row.errorLine) << row.name;
  }
}

TEST(SimSetupApi, OpenFindsTheFile) {
  sim::SimMachine machine;
  machine.PutFile("C:\\windows\\inf\\bare.inf", kVersion);
  machine.PutFile("C:\\pkg\\here.inf", kVersion);
  machine.SetCurrentDirectory("C:\\pkg");
  const struct {
    const char* name;
    DWORD error;
  } rows[] = {
      {"C:\\pkg\\here.inf", ERROR_SUCCESS},
      {".\\here.inf", ERROR_SUCCESS},
      {"bare.inf", ERROR_SUCCESS},
      {"here.inf", ERROR_FILE_NOT_FOUND},
      {"C:\\pkg\\none.inf", ERROR_FILE_NOT_FOUND},
      {"C:\\nowhere\\x.inf", ERROR_PATH_NOT_FOUND},
      {"C:\\pkg", ERROR_ACCESS_DENIED},
  };
  for (const auto& row : rows) {
    HINF inf = machine.setup.SetupOpenInfFileA(row.name, "Printer", INF_STYLE_WIN4, nullptr);
    if (row.error == ERROR_SUCCESS) {
      EXPECT_NE(inf, INVALID_HANDLE_VALUE) << row.name;
      machine.setup.SetupCloseInfFile(inf);
    } else {
      EXPECT_EQ(inf, INVALID_HANDLE_VALUE) << row.name;
      EXPECT_EQ(machine.GetLastError(), row.error) << row.name;
    }
  }
  EXPECT_EQ(machine.setup.OpenInfs(), 0);
  EXPECT_EQ(machine.badHandleUses, 0);
}

TEST(SimSetupApi, Encodings) {
  // "Café €5 打" and a line after an end-of-file mark.
  const std::string utf8 =
      "[S]\r\nk=Caf\xC3\xA9 \xE2\x82\xAC"
      "5 \xE6\x89\x93\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string(u"[S]\r\nk=Caf\u00E9 \u20AC5 \u6253\r\n")) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  const struct {
    const char* name;
    std::string bytes;
    const char* text;
  } rows[] = {
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + utf8,
       "Caf\xE9 \x80"
       "5 ?"},
      {"UTF-16LE with a byte-order mark", utf16,
       "Caf\xE9 \x80"
       "5 ?"},
      {"ANSI, bytes as they are", utf8,
       "Caf\xC3\xA9 \xE2\x82\xAC"
       "5 \xE6\x89\x93"},
      {"Ctrl-Z ends the text", "[S]\r\nk=1\r\n\x1A\r\nk2=2\r\n", "1"},
  };
  for (const auto& row : rows) {
    Inf t(row.bytes, nullptr, INF_STYLE_OLDNT);
    ASSERT_NE(t.inf, INVALID_HANDLE_VALUE) << row.name;
    EXPECT_EQ(t.Text("S", "k"), row.text) << row.name;
    EXPECT_EQ(t.api.SetupGetLineCountA(t.inf, "S"), 1) << row.name;
  }
}

TEST(SimSetupApi, HandlesAndFaults) {
  sim::SimMachine machine;
  machine.PutFile("C:\\t.inf", kVersion);
  HINF first = machine.setup.SetupOpenInfFileA("C:\\t.inf", "Printer", INF_STYLE_WIN4, nullptr);
  HINF second = machine.setup.SetupOpenInfFileA("C:\\t.inf", "Printer", INF_STYLE_WIN4, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(machine.setup.OpenInfs(), 2);
  machine.setup.SetupCloseInfFile(first);
  EXPECT_EQ(machine.setup.OpenInfs(), 1);

  // A closed handle is no longer good for anything.
  EXPECT_EQ(machine.setup.SetupGetLineCountA(first, "Version"), -1);
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  machine.setup.SetupCloseInfFile(first);
  EXPECT_EQ(machine.badHandleUses, 2);

  machine.FailNext("SetupOpenInfFileA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(machine.setup.SetupOpenInfFileA("C:\\t.inf", "Printer", INF_STYLE_WIN4, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  machine.FailNext("SetupGetLineTextA", ERROR_NOT_ENOUGH_MEMORY);
  DWORD required = 0;
  EXPECT_FALSE(
      machine.setup.SetupGetLineTextA(nullptr, second, "Version", "Class", nullptr, 0, &required));
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(
      machine.setup.SetupGetLineTextA(nullptr, second, "Version", "Class", nullptr, 0, &required));
  EXPECT_EQ(required, 8u);
  machine.setup.SetupCloseInfFile(second);
  EXPECT_EQ(machine.setup.OpenInfs(), 0);
  EXPECT_EQ(machine.calls.front(), "SetupOpenInfFileA");
  EXPECT_EQ(machine.calls.back(), "SetupCloseInfFile");
}

// The install section for the program's platform, as Wine answers: its own
// extension, else ".NT", else the name; a section counts even when empty.
TEST(SimSetupApi, ActualSectionToInstall) {
  const std::string text =
      kVersion +
      "[A.NTx86]\r\nx=1\r\n[A.NTamd64]\r\nx=1\r\n[A.NT]\r\nx=1\r\n[A]\r\nx=1\r\n"
      "[B.nt]\r\nx=1\r\n[C.ntAMD64]\r\n[C]\r\nx=1\r\n";
  struct {
    const char* name;
    const char* x86;
    const char* amd64;
  } rows[] = {
      {"A", "A.NTx86", "A.NTamd64"}, {"a", "a.NTx86", "a.NTamd64"},     {"B", "B.NT", "B.NT"},
      {"C", "C", "C.NTamd64"},       {"Missing", "Missing", "Missing"},
  };
  for (bool x64 : {false, true}) {
    Inf t(text);
    t.machine.x64Program = x64;
    for (const auto& row : rows) {
      std::string expected = x64 ? row.amd64 : row.x86;
      bool extended = expected != row.name;
      char buffer[64] = {};
      DWORD required = 0;
      char* extension = nullptr;
      ASSERT_TRUE(t.api.SetupDiGetActualSectionToInstallA(t.inf, row.name, buffer, sizeof buffer,
                                                          &required, &extension))
          << row.name;
      EXPECT_EQ(buffer, expected) << row.name;
      EXPECT_EQ(required, expected.size() + 1) << row.name;
      EXPECT_EQ(extension, extended ? buffer + std::strlen(row.name) : nullptr) << row.name;
      EXPECT_EQ(t.Error(), extended ? "0x0" : Hex(ERROR_SECTION_NOT_FOUND)) << row.name;

      // The size alone; then a buffer one too small gets the first
      // characters, no terminator.
      required = 0;
      EXPECT_TRUE(
          t.api.SetupDiGetActualSectionToInstallA(t.inf, row.name, nullptr, 0, &required, nullptr));
      EXPECT_EQ(required, expected.size() + 1);
      std::memset(buffer, '#', sizeof buffer);
      EXPECT_FALSE(t.api.SetupDiGetActualSectionToInstallA(t.inf, row.name, buffer, required - 1,
                                                           nullptr, nullptr));
      EXPECT_EQ(t.Error(), Hex(ERROR_INSUFFICIENT_BUFFER));
      EXPECT_EQ(std::string(buffer, required), expected.substr(0, required - 1) + "#");
    }
  }
}

TEST(SimSetupApi, VersionOfTheSystem) {
  sim::SimMachine machine;
  OSVERSIONINFOEXA ex = {};
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_TRUE(machine.GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)));
  EXPECT_EQ(ex.dwMajorVersion, 10u);
  EXPECT_EQ(ex.dwMinorVersion, 0u);
  EXPECT_EQ(ex.dwBuildNumber, 18362u);
  EXPECT_STREQ(ex.szCSDVersion, "");
  EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
  OSVERSIONINFOA plain = {};
  plain.dwOSVersionInfoSize = sizeof plain;
  EXPECT_TRUE(machine.GetVersionExA(&plain));
  plain.dwOSVersionInfoSize = sizeof plain - 1;
  EXPECT_FALSE(machine.GetVersionExA(&plain));
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
