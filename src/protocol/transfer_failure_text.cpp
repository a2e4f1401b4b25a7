#include "protocol/transfer_failure_text.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate(TransferFailureContext, text);
}

// Long commands (a set with a long printer name) are cut so that the cause stays one line.
QString Quoted(const std::string& command) {
  constexpr qsizetype Shown = 40;
  QString text = QString::fromLatin1(command.data(), static_cast<qsizetype>(command.size()));
  if (text.size() > Shown) {
    text = text.left(Shown - 1) + QChar(0x2026);
  }
  return QLatin1Char('"') + text + QLatin1Char('"');
}

}  // namespace

QString TransferFailureText(const TransferFailure& failure) {
  const QString command = Quoted(failure.command);
  QString text;
  switch (failure.cause) {
    case TransferFailureCause::None:
      return {};
    case TransferFailureCause::WriteStopped:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure",
                                  "%1 of %2 bytes of %3 written, then the printer took no more"))
                 .arg(failure.sent)
                 .arg(failure.total)
                 .arg(command);
      break;
    case TransferFailureCause::NoReply:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure", "no reply to %1 within %2 ms"))
                 .arg(command)
                 .arg(failure.waited.count());
      break;
    case TransferFailureCause::CannotReceive:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure", "this link cannot receive the reply to %1"))
                 .arg(command);
      break;
    case TransferFailureCause::ReceiveBroken:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure", "the reply to %1 came damaged")).arg(command);
      break;
    case TransferFailureCause::NoFrame:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure",
                                  "%1 bytes of garbage and no reply frame in answer to %2"))
                 .arg(failure.received)
                 .arg(command);
      break;
    case TransferFailureCause::FrameTooLong:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure", "the reply to %1 is longer than %2 bytes"))
                 .arg(command)
                 .arg(failure.total);
      break;
    case TransferFailureCause::LengthMismatch:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure",
                                  "the reply to %1 announces %2 data bytes but carries %3"))
                 .arg(command)
                 .arg(failure.total)
                 .arg(failure.carried);
      break;
    case TransferFailureCause::FrameCutOff:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure", "the reply to %1 broke off after %2 bytes"))
                 .arg(command)
                 .arg(failure.received);
      break;
    case TransferFailureCause::BadFrame:
      text = Tr(QT_TRANSLATE_NOOP("TransferFailure", "the reply to %1 is not a valid frame"))
                 .arg(command);
      break;
  }
  if (failure.unreadable) {
    text += Tr(QT_TRANSLATE_NOOP("TransferFailure", " (wrong baud rate?)"));
  }
  return text;
}
