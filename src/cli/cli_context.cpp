#include "cli/cli_context.h"

#include <QFile>

#include "cli/cli_text.h"
#include "link/open_failure.h"
#include "protocol/transfer_failure_text.h"

QJsonObject NetworkJson(const NetConfigRecord& config) {
  return QJsonObject{
      {QStringLiteral("dhcp"), config.dhcp != 0},
      {QStringLiteral("ip"), FromLatin1(config.ip.View())},
      {QStringLiteral("mask"), FromLatin1(config.mask.View())},
      {QStringLiteral("gateway"), FromLatin1(config.gateway.View())},
      {QStringLiteral("lastUsedIp"), FromLatin1(config.lastUsedIp.View())},
      {QStringLiteral("name"), FromLatin1(config.netName.View())},
      {QStringLiteral("mac"), FromLatin1(config.macAddr.View())},
  };
}

void SetAddresses(NetConfigRecord& record, bool dhcp, const std::string& ip,
                  const std::string& mask, const std::string& gateway) {
  record.dhcp = dhcp ? 1 : 0;
  if (!dhcp) {
    record.ip.Assign(ip);
    record.mask.Assign(mask);
    record.gateway.Assign(gateway);
  }
}

CliOutcome CommandRun::Finish(int code, const std::string& message) {
  outcome.exitCode = code;
  Json("result", QString::fromStdString(code == 0 ? std::string("OK") : message));
  Json("code", code);
  if (code != 0) {
    outcome.error = message;
  }
  return outcome;
}

std::optional<ResultCause> CauseOf(CommandResult result, const LinkFacade& link) {
  const OpenFailure& open = link.LastOpenFailure();
  const TransferFailure& transfer = link.LastTransferFailure();
  if (result == CommandResult::OpenPortError && open.Failed()) {
    return ResultCause{OpenFailureCauseName(open.cause), QString::fromStdString(open.detail)};
  }
  if ((result == CommandResult::TransmitDataError || result == CommandResult::ReceiveDataError) &&
      transfer.Failed()) {
    return ResultCause{TransferFailureCauseName(transfer.cause), TransferFailureText(transfer)};
  }
  return std::nullopt;
}

CliOutcome CommandRun::Finish(CommandResult result) {
  Finish(static_cast<int>(result), std::string(ResultMessage(result)));
  // The message stays as the windows show it; why the port did not open, or the write or the
  // reply failed, follows it.
  if (services.link != nullptr) {
    if (const std::optional<ResultCause> cause = CauseOf(result, *services.link)) {
      Json("cause", QJsonObject{{QStringLiteral("kind"), QLatin1String(cause->kind)},
                                {QStringLiteral("detail"), cause->detail}});
      outcome.error += ": " + cause->detail.toStdString();
    }
  }
  return outcome;
}

CliOutcome CommandRun::Usage(const std::string& message) {
  outcome.usageError = true;
  return Finish(CliUsageExit, message);
}

std::optional<CliOutcome> CommandRun::Confirm(const std::string& question,
                                              const std::string& needsYes) {
  if (args.yes) {
    return std::nullopt;
  }
  if (!services.terminal || !services.confirm) {
    return Usage(needsYes);
  }
  if (!services.confirm(question)) {
    return Finish(1, "cancelled");
  }
  return std::nullopt;
}

void CommandRun::Say(const std::string& line) {
  if (args.verbose) {
    outcome.text += line + "\n";
  }
}

std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes,
                                         std::string& error) {
  QFile file;
  const bool open = path == "-" ? file.open(stdin, QIODevice::ReadOnly)
                                : (file.setFileName(QString::fromStdString(path)),
                                   file.open(QIODevice::ReadOnly));
  if (!open) {
    error = file.errorString().toStdString();
    return std::nullopt;
  }
  // A pipe gives what it holds at the moment; read on until its end or the limit.
  std::string bytes;
  while (bytes.size() < maxBytes) {
    const QByteArray chunk = file.read(static_cast<qint64>(maxBytes - bytes.size()));
    if (chunk.isEmpty()) {
      break;
    }
    bytes.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
  }
  if (file.error() != QFileDevice::NoError) {
    error = file.errorString().toStdString();
    return std::nullopt;
  }
  return bytes;
}
