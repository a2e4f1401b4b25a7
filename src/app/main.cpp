#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/application.h"
#include "app/main_window.h"
#include "link/usb_vendor.h"

namespace {

// "--printer HOST:PORT" points the network link at a printer from the start; the demo uses it
// for the virtual printer. Without it the utility starts as always, on USB with no host.
std::optional<NetTarget> ParseStartTarget(const QStringList& args, bool& ok) {
  ok = true;
  if (args.size() == 1) {
    return std::nullopt;
  }
  if (args.size() == 3 && args[1] == QStringLiteral("--printer")) {
    const qsizetype colon = args[2].lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    const int port = colon > 0 ? args[2].mid(colon + 1).toInt(&portOk) : 0;
    const QString host = args[2].left(colon);
    if (portOk && port > 0 && port < 65536 && host.size() <= 63) {
      NetTarget target;
      target.Host.Assign(host.toLatin1().toStdString());
      target.Port = port;
      return target;
    }
  }
  ok = false;
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  Q73580Application app(argc, argv);
  bool argsOk = true;
  TFormMain::Services services;
  services.startTarget = ParseStartTarget(QCoreApplication::arguments(), argsOk);
  if (!argsOk) {
    std::fprintf(stderr, "usage: q73580-utility [--printer HOST:PORT]\n");
    return 2;
  }

  // The environment may name another USB vendor id than the build's.
  const UsbVendorChoice vendor = ChooseUsbVendor();
  if (!vendor.warning.empty()) {
    std::fprintf(stderr, "q73580-utility: warning: %s\n", vendor.warning.c_str());
  }
  LinkFacade link(MakeSystemPorts(vendor.id));
  // Timers and painting go on between the chunks of a long write.
  link.SetProcessEventsHook([] { QCoreApplication::processEvents(); });

  return RunApplication(app, [&] { return std::make_unique<TFormMain>(link, services); });
}
