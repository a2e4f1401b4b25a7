// The windows in German: every text translated, the translations in step with the code, and the
// translation in force where the windows show their texts.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <set>
#include <string>
#include <vector>

#include "gui/ui_translations.h"
#include "support/window_harness.h"

namespace {

// What a .ts file says of each text; an entry that is wrong is described in `faults`.
struct TsContents {
  std::set<std::string> texts;  // context / source / comment
  std::vector<std::string> faults;
};

// The %1 markers and the number of accelerator '&'s of a text, which its translation must keep.
QString Markers(const QString& text) {
  static const QRegularExpression placeholder(QStringLiteral("%\\d"));
  QStringList found;
  for (const QRegularExpressionMatch& match : placeholder.globalMatch(text)) {
    found << match.captured();
  }
  found.sort();
  return found.join(QLatin1Char(' ')) + QStringLiteral(" &x%1").arg(text.count(QLatin1Char('&')));
}

TsContents ReadTs(const QString& path) {
  TsContents contents;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    contents.faults.push_back("cannot read " + path.toStdString());
    return contents;
  }
  QXmlStreamReader xml(&file);
  QString context;
  QString source;
  QString comment;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) {
      continue;
    }
    const QStringView name = xml.name();
    if (name == QLatin1String("name")) {
      context = xml.readElementText();
    } else if (name == QLatin1String("message")) {
      source.clear();
      comment.clear();
    } else if (name == QLatin1String("source")) {
      source = xml.readElementText();
    } else if (name == QLatin1String("comment")) {
      comment = xml.readElementText();
    } else if (name == QLatin1String("translation")) {
      const QString type = xml.attributes().value(QLatin1String("type")).toString();
      const QString translation = xml.readElementText();
      const std::string text = (context + QStringLiteral(" / ") + source +
                                (comment.isEmpty() ? QString() : QStringLiteral(" / ") + comment))
                                   .toStdString();
      contents.texts.insert(text);
      if (!type.isEmpty()) {
        contents.faults.push_back(type.toStdString() + ": " + text);
      } else if (translation.isEmpty()) {
        contents.faults.push_back("empty: " + text);
      } else if (Markers(translation) != Markers(source)) {
        contents.faults.push_back("placeholders or '&' differ: " + text);
      }
    }
  }
  if (xml.hasError()) {
    contents.faults.push_back(path.toStdString() + ": " + xml.errorString().toStdString());
  }
  return contents;
}

// The .ts file is complete, and lupdate run over the code into a copy of it finds no text that
// is new (a tr() without its translation: unfinished) and none that has gone (vanished).
TEST(Translations, EveryTextOfTheCodeHasItsGermanTranslation) {
  const QString committed = QStringLiteral(Q73580_TS_DE);
  const TsContents before = ReadTs(committed);
  EXPECT_EQ(before.faults, std::vector<std::string>{});
  EXPECT_FALSE(before.texts.empty());

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString copy = dir.filePath(QStringLiteral("q73580_de.ts"));
  ASSERT_TRUE(QFile::copy(committed, copy));
  QStringList args = QString::fromUtf8(Q73580_TRANSLATED_SOURCES).split(QLatin1Char('|'));
  args << QStringLiteral("-locations") << QStringLiteral("none") << QStringLiteral("-ts") << copy;
  QProcess lupdate;
  lupdate.start(QStringLiteral(Q73580_LUPDATE), args);
  ASSERT_TRUE(lupdate.waitForFinished(60000)) << "lupdate did not end";
  ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
  const TsContents after = ReadTs(copy);
  EXPECT_EQ(after.faults, std::vector<std::string>{})
      << "run: cmake --build <build dir> --target update_translations, then translate";
}

// Under the German translation the window's captions, its refusals of input and the result
// messages of the printer operations are German.
TEST_F(MainWindowOverTcp, ShowsItsTextsInGermanUnderTheGermanTranslation) {
  const UiTranslations german(QLocale(QLocale::German, QLocale::Germany));
  ASSERT_TRUE(german.Loaded());
  Open(false);  // USB, where this link has no printer
  EXPECT_EQ(Find<QPushButton>("ButtonRTCRead")->text(), QStringLiteral("Lesen"));

  Find<QLineEdit>("EditYear")->setText(QStringLiteral("x"));
  Click("ButtonOk");
  EXPECT_EQ(errors_, std::vector<QString>{QStringLiteral("'x' ist keine gültige ganze Zahl.")});

  Click("ButtonRTCRead");
  EXPECT_EQ(messages_,
            std::vector<QString>{QStringLiteral("Fehler beim Öffnen der Schnittstelle")});

  // So is the cause under a failed reply.
  printer_sim::FaultSwitches faults;
  faults.badLength.value = true;
  sim_->SetFaults(faults);
  window_->Target() = LoopbackTarget(sim_.TcpPort());
  Find<QComboBox>("ComboBoxInterFace")->setCurrentIndex(static_cast<int>(LinkKind::Ethernet));
  details_.clear();
  Click("ButtonRTCRead");
  EXPECT_EQ(details_, std::vector<QString>{QStringLiteral(
                          "die Antwort auf \"DIAGNOSTIC INTERFACE NET\" kündigt 4 Datenbytes an, "
                          "enthält aber 2")});
}

// English stays the default: a language without a translation loads none.
TEST(Translations, ALanguageWithoutTranslationStaysEnglish) {
  const UiTranslations french(QLocale(QLocale::French, QLocale::France));
  EXPECT_FALSE(french.Loaded());
  EXPECT_EQ(TFormMain::tr("Exit"), QStringLiteral("Exit"));
}

}  // namespace
