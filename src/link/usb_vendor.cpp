#include "link/usb_vendor.h"

#include <cstdlib>

#include "common/trace.h"
#include "link/usb_printer_port.h"

std::optional<std::string> ParseUsbVendorId(std::string_view text) {
  if (text.size() != 4) {
    return std::nullopt;
  }
  std::string id;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      id += c;
    } else if (c >= 'a' && c <= 'f') {
      id += c;
    } else if (c >= 'A' && c <= 'F') {
      id += static_cast<char>(c - 'A' + 'a');
    } else {
      return std::nullopt;
    }
  }
  return id;
}

UsbVendorChoice ChooseUsbVendor(const std::optional<std::string>& commandLine,
                                const char* environment) {
  if (commandLine) {
    if (std::optional<std::string> id = ParseUsbVendorId(*commandLine)) {
      return {*id, UsbVendorSource::CommandLine, {}};
    }
  }
  UsbVendorChoice choice{std::string(PrinterVendorId), UsbVendorSource::Build, {}};
  if (environment != nullptr && *environment != '\0') {
    if (std::optional<std::string> id = ParseUsbVendorId(environment)) {
      return {*id, UsbVendorSource::Environment, {}};
    }
    // The value is anybody's; it reaches a terminal only with its control bytes escaped.
    choice.warning = std::string(UsbVendorVariable) + "='" + TraceEscaped(environment) +
                     "' is not four hex digits and is ignored; the USB vendor id is " + choice.id;
  }
  return choice;
}

UsbVendorChoice ChooseUsbVendor(const std::optional<std::string>& commandLine) {
  return ChooseUsbVendor(commandLine, std::getenv(UsbVendorVariable));
}

const char* UsbVendorSourceName(UsbVendorSource source) {
  switch (source) {
    case UsbVendorSource::Environment:
      return "environment";
    case UsbVendorSource::CommandLine:
      return "command line";
    case UsbVendorSource::Build:
      break;
  }
  return "build";
}
