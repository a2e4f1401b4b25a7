#pragma once

#include <QNetworkInterface>
#include <QString>
#include <set>

// True inside the private network namespace that tests/e2e/netns-run makes: loopback and the
// q73v0/q73v1 pair, nothing else. Tests that broadcast skip everywhere else.
inline bool InsidePrivateNamespace() {
  const std::set<QString> allowed = {"lo", "q73v0", "q73v1"};
  bool pair = false;
  const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
  for (const QNetworkInterface& interface : interfaces) {
    if (!allowed.contains(interface.name())) {
      return false;
    }
    pair = pair || interface.name() == QStringLiteral("q73v0");
  }
  return pair;
}
