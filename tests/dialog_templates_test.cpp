// Reads the dialogs back out of res/qvrsetup.rc and checks that the headless
// backend's templates match them control for control.
#include "framework/headless/dialog_templates.h"

#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "cannot open " << path;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The .rc names the test can evaluate, with the values windres gives them.
#define QVR_NAME(name) std::pair<const std::string, DWORD>(#name, static_cast<DWORD>(name))
const std::map<std::string, DWORD> kConstants = {
    QVR_NAME(IDOK),
    QVR_NAME(WS_POPUP),
    QVR_NAME(WS_CHILD),
    QVR_NAME(WS_VISIBLE),
    QVR_NAME(WS_DISABLED),
    QVR_NAME(WS_CAPTION),
    QVR_NAME(WS_BORDER),
    QVR_NAME(WS_VSCROLL),
    QVR_NAME(WS_HSCROLL),
    QVR_NAME(WS_SYSMENU),
    QVR_NAME(WS_GROUP),
    QVR_NAME(WS_TABSTOP),
    QVR_NAME(WS_EX_APPWINDOW),
    QVR_NAME(DS_MODALFRAME),
    QVR_NAME(DS_SETFONT),
    QVR_NAME(DS_SHELLFONT),
    QVR_NAME(BS_PUSHBUTTON),
    QVR_NAME(BS_DEFPUSHBUTTON),
    QVR_NAME(BS_GROUPBOX),
    QVR_NAME(ES_LEFT),
    QVR_NAME(ES_CENTER),
    QVR_NAME(ES_AUTOHSCROLL),
    QVR_NAME(ES_READONLY),
    QVR_NAME(SS_LEFT),
    QVR_NAME(SS_CENTER),
    QVR_NAME(SS_ICON),
    QVR_NAME(LBS_NOTIFY),
    QVR_NAME(LBS_SORT),
    QVR_NAME(LBS_NOINTEGRALHEIGHT),
    QVR_NAME(LBS_NOSEL),
};
#undef QVR_NAME

struct Token {
  enum Kind { kWord, kString, kPunct } kind;
  std::string text;
};

// Splits .rc text into words (names and numbers), quoted strings and
// punctuation, skipping comments and preprocessor lines.
std::vector<Token> Tokenize(const std::string& src) {
  std::vector<Token> tokens;
  size_t i = 0;
  bool lineStart = true;
  while (i < src.size()) {
    char c = src[i];
    if (c == '\n') {
      lineStart = true;
      ++i;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (lineStart && c == '#') {
      i = src.find('\n', i);
    } else if (src.compare(i, 2, "//") == 0) {
      i = src.find('\n', i);
    } else if (src.compare(i, 2, "/*") == 0) {
      i = src.find("*/", i);
      if (i != std::string::npos) i += 2;
    } else if (c == '"') {
      std::string text;
      for (++i; i < src.size(); ++i) {
        if (src[i] == '"' && (i + 1 >= src.size() || src[i + 1] != '"')) break;
        if (src[i] == '"') ++i;  // "" stands for one quote
        text += src[i];
      }
      ++i;
      tokens.push_back({Token::kString, text});
      lineStart = false;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') {
      size_t start = i++;
      while (i < src.size() && (std::isalnum(static_cast<unsigned char>(src[i])) || src[i] == '_'))
        ++i;
      tokens.push_back({Token::kWord, src.substr(start, i - start)});
      lineStart = false;
    } else {
      tokens.push_back({Token::kPunct, std::string(1, c)});
      ++i;
      lineStart = false;
    }
    if (i == std::string::npos) break;
  }
  return tokens;
}

class RcParser {
 public:
  RcParser(const std::string& rc, const std::string& resourceH) : tokens_(Tokenize(rc)) {
    std::regex define(R"(#define\s+(\w+)\s+\(?(-?\d+)\)?)");
    for (std::sregex_iterator it(resourceH.begin(), resourceH.end(), define), end; it != end;
         ++it) {
      names_[(*it)[1]] = static_cast<DWORD>(std::stol((*it)[2]));
    }
  }

  std::vector<headless::DialogTemplate> Dialogs() {
    std::vector<headless::DialogTemplate> dialogs;
    for (pos_ = 1; pos_ < tokens_.size(); ++pos_) {
      if (tokens_[pos_].kind == Token::kWord && tokens_[pos_].text == "DIALOGEX") {
        dialogs.push_back(Dialog(Value(tokens_[pos_ - 1].text)));
      }
    }
    return dialogs;
  }

 private:
  const Token& Next() {
    static const Token kEnd{Token::kPunct, "<end of file>"};
    return pos_ < tokens_.size() ? tokens_[pos_++] : kEnd;
  }
  bool Peek(const char* text) const { return pos_ < tokens_.size() && tokens_[pos_].text == text; }
  void Expect(const char* text) {
    const Token& t = Next();
    EXPECT_EQ(t.text, text) << "before token " << pos_;
  }
  std::string String() {
    const Token& t = Next();
    EXPECT_EQ(t.kind, Token::kString) << "expected a string, got " << t.text;
    return t.text;
  }
  int Number() { return static_cast<int>(Value(Next().text)); }

  DWORD Value(const std::string& word) {
    if (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-')
      return static_cast<DWORD>(std::stol(word, nullptr, 0));
    if (auto it = names_.find(word); it != names_.end()) return it->second;
    if (auto it = kConstants.find(word); it != kConstants.end()) return it->second;
    ADD_FAILURE() << "unknown name in .rc: " << word;
    return 0;
  }

  // NAME | NAME | ..., ended by the next comma or keyword.
  DWORD Style() {
    DWORD style = Value(Next().text);
    while (Peek("|")) {
      ++pos_;
      style |= Value(Next().text);
    }
    return style;
  }

  headless::DialogTemplate Dialog(UINT id) {
    headless::DialogTemplate d{id, "", 0, 0, 0, 0, "", 0, {}};
    ++pos_;
    Number();  // x and y are always 0: the dialog is centred
    Expect(",");
    Number();
    Expect(",");
    d.cx = Number();
    Expect(",");
    d.cy = Number();
    while (!Peek("BEGIN") && pos_ < tokens_.size()) {
      std::string key = Next().text;
      if (key == "STYLE") {
        d.style = Style();
      } else if (key == "EXSTYLE") {
        d.exStyle = Style();
      } else if (key == "CAPTION") {
        d.caption = Keep(String());
      } else if (key == "FONT") {
        d.pointSize = Number();
        Expect(",");
        d.fontName = Keep(String());
      } else {
        ADD_FAILURE() << "unexpected dialog statement " << key;
      }
    }
    Expect("BEGIN");
    while (!Peek("END") && pos_ < tokens_.size()) d.controls.push_back(Control());
    Expect("END");
    return d;
  }

  headless::ControlTemplate Control() {
    headless::ControlTemplate c{};
    Expect("CONTROL");
    const Token& text = Next();
    if (text.kind == Token::kString) {
      c.text = Keep(text.text);
    } else {
      c.text = "";
      c.iconResource = static_cast<int>(Value(text.text));
    }
    Expect(",");
    c.id = Number();
    Expect(",");
    c.className = Keep(String());
    Expect(",");
    c.style = Style() | WS_CHILD | WS_VISIBLE;  // windres adds these to every CONTROL
    int* fields[] = {&c.x, &c.y, &c.cx, &c.cy};
    for (int* field : fields) {
      Expect(",");
      *field = Number();
    }
    return c;
  }

  const char* Keep(const std::string& s) { return strings_.emplace_back(s).c_str(); }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  std::map<std::string, DWORD> names_;
  std::deque<std::string> strings_;  // backs the const char* fields; never moves them
};

// Owns the parser so that the parsed templates' strings stay valid.
struct RcDialogs {
  RcParser parser{ReadFile(QVR_SOURCE_DIR "/res/qvrsetup.rc"),
                  ReadFile(QVR_SOURCE_DIR "/res/resource.h")};
  std::vector<headless::DialogTemplate> dialogs = parser.Dialogs();
};

TEST(DialogTemplatesTest, MatchResourceScript) {
  RcDialogs rc;
  ASSERT_EQ(rc.dialogs.size(), headless::DialogTemplates().size());
  for (const headless::DialogTemplate& want : rc.dialogs) {
    SCOPED_TRACE("dialog " + std::to_string(want.id));
    const headless::DialogTemplate* got = headless::FindDialogTemplate(want.id);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got->caption, want.caption);
    EXPECT_EQ(got->cx, want.cx);
    EXPECT_EQ(got->cy, want.cy);
    EXPECT_EQ(got->style, want.style);
    EXPECT_EQ(got->exStyle, want.exStyle);
    EXPECT_STREQ(got->fontName, want.fontName);
    EXPECT_EQ(got->pointSize, want.pointSize);
    ASSERT_EQ(got->controls.size(), want.controls.size());
    for (size_t i = 0; i < want.controls.size(); ++i) {
      const headless::ControlTemplate& w = want.controls[i];
      const headless::ControlTemplate& g = got->controls[i];
      SCOPED_TRACE("control #" + std::to_string(i + 1) + " id " + std::to_string(w.id));
      EXPECT_EQ(g.id, w.id);
      EXPECT_STREQ(g.className, w.className);
      EXPECT_STREQ(g.text, w.text);
      EXPECT_EQ(g.x, w.x);
      EXPECT_EQ(g.y, w.y);
      EXPECT_EQ(g.cx, w.cx);
      EXPECT_EQ(g.cy, w.cy);
      EXPECT_EQ(g.style, w.style) << std::hex << "got 0x" << g.style << ", .rc 0x" << w.style;
      EXPECT_EQ(g.iconResource, w.iconResource);
    }
  }
}

// The model/monitor and printer/version lists are paired by index, which
// holds only while no list box sorts.
TEST(DialogTemplatesTest, ListBoxesKeepInsertionOrder) {
  int listBoxes = 0;
  for (const headless::DialogTemplate& dialog : headless::DialogTemplates()) {
    for (const headless::ControlTemplate& control : dialog.controls) {
      if (std::string(control.className) != "ListBox") continue;
      ++listBoxes;
      EXPECT_EQ(control.style & LBS_SORT, 0u) << "list box " << control.id;
    }
  }
  EXPECT_EQ(listBoxes, 4);
}

}  // namespace
