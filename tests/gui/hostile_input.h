#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/window_harness.h"

// Text a user can throw at an edit, by name, so that table rows stay readable.
inline QString HostileText(const std::string& name) {
  auto repeated = [](const char* pattern, int length) {
    QString text;
    while (text.size() < length) {
      text += QLatin1String(pattern);
    }
    return text.left(length);
  };
  if (name == "letters1000") {
    return repeated("abcdefghij", 1000);
  }
  if (name == "digits1000") {
    return QString(1000, QLatin1Char('7'));
  }
  if (name == "nul") {
    return QStringLiteral("ab") + QChar(0) + QStringLiteral("c");
  }
  if (name == "digit-nul") {
    return QStringLiteral("5") + QChar(0);
  }
  // A fixed sample, or else the UTF-8 text after the first "=" of the name ("=+5", "ip=1 .2").
  struct Sample {
    const char* name;
    const char* utf8;
  };
  static const Sample Samples[] = {
      {"empty", ""},
      {"blanks", "   "},
      {"quote", "ab\"c"},
      {"cr", "ab\rc"},
      {"lf", "ab\nc"},
      {"crlf-tail", "abc\r\n"},
      {"tab", "ab\tc"},
      {"esc", "a\x1b[2J"},
      {"del", "ab\x7f"},
      {"c1", "a\xc2\x85z"},  // NEL, a control character of Latin-1's upper half
      {"latin1", "\xc3\x9cn\xc3\xaf\x63\xc3\xb8\x64\xc3\xa9"},                   // Ünïcødé
      {"cyrillic", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xbd\xd1\x82\xd0\xb5\xd1\x80"},  // Принтер
      {"cjk", "\xe6\x89\x93\xe5\x8d\xb0\xe6\x9c\xba"},                           // 打印机
      {"emoji", "Lab\xf0\x9f\x96\xa8"},                                          // Lab🖨
  };
  for (const Sample& sample : Samples) {
    if (name == sample.name) {
      return QString::fromUtf8(sample.utf8);
    }
  }
  const std::size_t equals = name.find('=');
  if (equals != std::string::npos) {
    return QString::fromUtf8(name.substr(equals + 1));
  }
  throw std::invalid_argument("no hostile text named " + name);
}

// "latin1" as the single bytes the printer receives, and "letters1000" cut to 63 and to 15.
constexpr const char* Latin1Bytes =
    "\xdcn\xef"
    "c\xf8"
    "d\xe9";
constexpr const char* Letters63 = "abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabc";
constexpr const char* Letters15 = "abcdefghijabcde";

// How a text reaches an edit; a row may name several, each makes a test of its own.
enum class Entry {
  Paste = 1,      // set at once, as a program or a drop would
  Keys = 2,       // typed: key clicks for ASCII, an input method's commit for anything else
  Clipboard = 4,  // the clipboard's paste
};
constexpr Entry operator|(Entry a, Entry b) {
  return static_cast<Entry>(static_cast<int>(a) | static_cast<int>(b));
}
constexpr Entry Paste = Entry::Paste;
constexpr Entry Keys = Entry::Keys;
constexpr Entry Clipboard = Entry::Clipboard;
constexpr Entry AnyEntry = Paste | Keys | Clipboard;

// Types `text` into `target` as a user would; a character no key gives is committed by an input
// method, a pair of surrogates as one character.
inline void TypeKeys(QWidget* target, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
      QTest::keyClick(target, static_cast<char>(c.unicode()));
      continue;
    }
    const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    QInputMethodEvent commit;
    commit.setCommitString(text.mid(i, length));
    QApplication::sendEvent(target, &commit);
    i += length - 1;
  }
}

// Replaces the edit's text by `text` the way `entry` (one way) says; the edit's limit applies.
inline void Enter(QLineEdit* edit, const QString& text, Entry entry) {
  ASSERT_NE(edit, nullptr);
  edit->clear();
  switch (entry) {
    case Entry::Keys:
      TypeKeys(edit, text);
      break;
    case Entry::Clipboard:
      QGuiApplication::clipboard()->setText(text);
      edit->paste();
      break;
    default:
      edit->setText(text);
      break;
  }
}

// What pressing the button after the input must come to.
enum class Outcome {
  Sent,     // the command (or the stored value) holds the text as the edit shows it
  Refused,  // a message that names the problem; nothing sent, nothing stored
  Failed,   // the operation's own failure message (e.g. no link selected); nothing sent
};
constexpr Outcome Sent = Outcome::Sent;
constexpr Outcome Refused = Outcome::Refused;
constexpr Outcome Failed = Outcome::Failed;

// One input at one edit of a window, the ways it is entered, and what pressing the button that
// uses it must come to.
struct InputRow {
  const char* edit;
  const char* input;  // a HostileText name
  Entry entry;        // one way or several (Paste | Keys): Rows makes a test of each
  Outcome outcome;
  // Sent: the line the printer receives (its bytes), or the value a window stored or opened;
  // Refused and Failed: the message. In texts (not printer lines) "{text}" stands for what the
  // edit shows.
  std::string expected;
  int port = 9101;               // the TCP/IP Setup window's "Exit": the port stored
  const char* button = nullptr;  // the table's, set by Rows
};

inline void PrintTo(const InputRow& row, std::ostream* os) {
  static const char* const Entries[] = {"?", "paste", "keys", "?", "clipboard", "?", "?", "?"};
  static const char* const Outcomes[] = {"sent", "refused", "failed"};
  *os << row.edit << " " << Entries[static_cast<int>(row.entry) & 7] << " '" << row.input
      << "' then " << row.button << ": " << Outcomes[static_cast<int>(row.outcome)];
}

// The rows of a table, one for each way of entry a row names, all pressing `button`.
inline std::vector<InputRow> Rows(const char* button, std::vector<InputRow> rows) {
  std::vector<InputRow> each;
  for (InputRow& row : rows) {
    row.button = button;
    for (Entry entry : {Paste, Keys, Clipboard}) {
      if ((static_cast<int>(row.entry) & static_cast<int>(entry)) != 0) {
        each.push_back(row);
        each.back().entry = entry;
      }
    }
  }
  return each;
}

// A row's expected text with "{text}" replaced by what the edit showed.
inline QString ExpectedText(const std::string& utf8, const QString& shown) {
  return QString::fromStdString(utf8).replace(QStringLiteral("{text}"), shown);
}
