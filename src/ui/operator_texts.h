// What the operator reads, in the operator's language: the dialogs'
// captions, buttons, status and result lines, and the message boxes. The
// program speaks English; the table beside it holds each English text with
// its translations, and the user's UI language picks the column. The log,
// the event and the exit statuses never come here: scripts read them, so
// they stay English.
#pragma once
#include <functional>
#include <string>

#include "platform/win_types.h"

enum class OperatorLanguage { English, German, French, Spanish, Italian, Japanese, Chinese };

// The language of a UI language ID, by its primary language; every language
// the table has no column for gets English.
OperatorLanguage OperatorLanguageOf(LANGID uiLanguage);

// One text of the program and its translations, all UTF-8. "%s" stands for
// a name that the program fills in (a path, a manufacturer, a system text);
// each translation has as many as the English text, in the same order.
struct OperatorText {
  const char* english;
  const char* german;
  const char* french;
  const char* spanish;
  const char* italian;
  const char* japanese;
  const char* chinese;

  const char* In(OperatorLanguage language) const;
};

// Every row of the table, and how many.
const OperatorText* OperatorTexts(size_t* count);

// The translation of a text the table has word for word; nullptr for any
// other text, and in English.
const char* TranslationOf(const std::string& english, OperatorLanguage language);

// Converts a text in the process's ANSI code page (a name from the system,
// or the program's own English) to UTF-8.
using AnsiToUtf8Fn = std::function<std::string(const std::string&)>;

// The text as the operator reads it, in UTF-8: its translation when the
// table has it word for word, or has it with names filled in (the names are
// put into the translation); otherwise the text itself.
std::string ShownText(const std::string& english, OperatorLanguage language,
                      const AnsiToUtf8Fn& toUtf8);
// The same, with names converted by the window system.
std::string ShownText(const std::string& english, OperatorLanguage language);

class CWnd;
// Puts the dialog's caption and its controls' texts from the template into
// the operator's language, each that the table has.
void TranslateTemplateTexts(CWnd& dialog, OperatorLanguage language);
