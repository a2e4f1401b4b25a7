#include "gui/ui_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

UiTranslations::UiTranslations(const QLocale& locale) {
  // Compiled in, so that the installed program needs no file beside it.
  ownLoaded_ =
      own_.load(locale, QStringLiteral("q73580"), QStringLiteral("_"), QStringLiteral(":/i18n"));
  if (ownLoaded_) {
    QCoreApplication::installTranslator(&own_);
    // Qt's, for its standard buttons, only beside one of ours: an English window with buttons in
    // another language would be a mixture. They are a package of their own that may be missing;
    // the buttons then stay English.
    qtLoaded_ = qt_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (qtLoaded_) {
      QCoreApplication::installTranslator(&qt_);
    }
  }
}

UiTranslations::~UiTranslations() {
  if (qtLoaded_) {
    QCoreApplication::removeTranslator(&qt_);
  }
  if (ownLoaded_) {
    QCoreApplication::removeTranslator(&own_);
  }
}
