#pragma once

#include <QLocale>
#include <QTranslator>

// The windows' texts in the language of `locale`, and Qt's own for its standard buttons, installed
// on the application while this lives. English needs nothing: the texts in the code are English,
// and a language without a translation stays English.
class UiTranslations {
 public:
  explicit UiTranslations(const QLocale& locale);
  ~UiTranslations();
  UiTranslations(const UiTranslations&) = delete;
  UiTranslations& operator=(const UiTranslations&) = delete;

  // Whether the program's own translation was found for the locale.
  bool Loaded() const { return ownLoaded_; }

 private:
  QTranslator own_;
  QTranslator qt_;
  bool ownLoaded_ = false;
  bool qtLoaded_ = false;
};
