#include <QJsonArray>
#include <array>

#include "cli/cli_text.h"
#include "cli/commands/commands.h"
#include "link/usb_printer_port.h"

namespace {

CliOutcome RunUsbList(CommandRun& run) {
  const UsbVendorChoice& vendor = run.services.usbVendor;
  run.Json("vendorId", QString::fromStdString(vendor.id));
  run.Json("vendorSource", QLatin1String(UsbVendorSourceName(vendor.source)));
  if (run.services.usbBus == nullptr) {
    return run.Finish(CliUnavailableExit, "this build cannot list USB devices");
  }
  UsbBus& bus = *run.services.usbBus;
  const std::vector<UsbDeviceEntry> devices = UsbDevicesInBusOrder(bus);
  if (const OpenFailure failure = bus.LastFailure(); failure.Failed()) {
    return run.Finish(CliUnavailableExit, failure.detail);
  }
  QJsonArray printers;
  std::vector<std::array<std::string, 4>> rows = {{"Vendor", "Product", "Path", "Match"}};
  for (const UsbDeviceEntry& device : devices) {
    if (!bus.HasPrinterInterface(device)) {
      continue;
    }
    const QString vendorId = QString::asprintf("%04x", static_cast<unsigned>(device.vendorId));
    const QString productId = QString::asprintf("%04x", static_cast<unsigned>(device.productId));
    const std::string path = UsbPathText(device);
    // The port's own rule, so that "yes" means --usb would take it.
    const bool matches = ChooseUsbPrinter({path}, vendor.id) == 0;
    printers.append(QJsonObject{
        {QStringLiteral("vendorId"), vendorId},
        {QStringLiteral("productId"), productId},
        {QStringLiteral("path"), QString::fromStdString(path)},
        {QStringLiteral("matches"), matches},
    });
    rows.push_back({vendorId.toStdString(), productId.toStdString(), path, matches ? "yes" : "no"});
  }
  run.Json("printers", printers);
  if (printers.isEmpty()) {
    run.outcome.notice = "no USB printer is attached";
  }
  run.outcome.text = TableText(rows) + "--usb looks for vendor id " + vendor.id + " (from the " +
                     UsbVendorSourceName(vendor.source) + ").\n";
  return run.Finish(0);
}

constexpr const char* UsbListHelp =
    R"(Lists the USB devices with a printer interface, in the order --usb looks at them: vendor and
product id, path text, and whether the vendor id is the one --usb looks for.
Example: q73580-cli usb list --usb-vendor 1a2b)";

}  // namespace

void AddUsbList(std::vector<CommandSpec>& commands) {
  commands.push_back({CliCommand::UsbList, "usb", "list", nullptr, nullptr, 0,
                      "list the USB printers present and which match", UsbListHelp, false,
                      "--usb-vendor", nullptr, RunUsbList});
}
