#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <ostream>
#include <string>

// One run of the real q73580-cli, as a script would start it: stdin a pipe (no terminal)
// unless a file is given, stdout and stderr captured, and a bound on how long it may take.
struct CliRun {
  bool finished = false;  // false: killed at the time limit, or never started
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
  double seconds = 0;

  std::string Out() const { return out.toStdString(); }
  std::string Err() const { return err.toStdString(); }

  // The one JSON object on stdout; empty when stdout holds none.
  QJsonObject Json() const {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(out, &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
  }
};

inline std::ostream& operator<<(std::ostream& os, const CliRun& run) {
  return os << "exit " << run.exitCode << (run.finished ? "" : " (did not finish)") << " after "
            << run.seconds << " s\nstdout: " << run.Out() << "\nstderr: " << run.Err();
}

struct CliRunOptions {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  QString stdinFile;     // empty: a pipe that is closed at once, after `stdinData`
  QByteArray stdinData;  // what goes through that pipe first
  int timeoutMs = 20000;
};

inline QString CliPath() {
  return QStringLiteral(Q73580_CLI_PATH);
}

inline CliRun RunCli(const QStringList& args, const CliRunOptions& options = CliRunOptions()) {
  CliRun run;
  QProcess process;
  process.setProgram(CliPath());
  process.setArguments(args);
  process.setProcessEnvironment(options.environment);
  if (!options.stdinFile.isEmpty()) {
    process.setStandardInputFile(options.stdinFile);
  }
  const auto start = std::chrono::steady_clock::now();
  process.start();
  if (!process.waitForStarted(5000)) {
    return run;
  }
  if (options.stdinFile.isEmpty()) {
    process.write(options.stdinData);
    process.closeWriteChannel();
  }
  run.finished = process.waitForFinished(options.timeoutMs);
  if (!run.finished) {
    process.kill();
    process.waitForFinished(2000);
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  if (run.finished && process.exitStatus() == QProcess::NormalExit) {
    run.exitCode = process.exitCode();
  } else {
    run.finished = false;  // a crash is no exit code
  }
  return run;
}

// Writes `text` as UTF-8 into `name` inside `dir`; its path, or empty when it could not be written.
inline QString WriteTextFile(const QTemporaryDir& dir, const QString& name, const QString& text) {
  QFile file(dir.filePath(name));
  if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
    return {};
  }
  return file.fileName();
}

inline QString Arg(const std::string& text) {
  return QString::fromStdString(text);
}
