#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where the vendor id that the USB port looks for came from.
enum class UsbVendorSource { Build, Environment, CommandLine };

struct UsbVendorChoice {
  std::string id;  // four lower-case hex digits
  UsbVendorSource source = UsbVendorSource::Build;
  std::string warning;  // an environment value that was ignored, in words; empty when none
};

// The environment variable that overrides the build's vendor id at run time.
inline constexpr const char* UsbVendorVariable = "Q73580_PRINTER_VENDOR_ID";

// Exactly four hex digits, in either case, as four lower-case ones; nothing otherwise.
std::optional<std::string> ParseUsbVendorId(std::string_view text);

// The command line's value, else the environment's, else the build's. A bad environment value
// is ignored with a warning, not refused: every program sees it, and it must not keep the window
// from starting. An empty one counts as unset.
UsbVendorChoice ChooseUsbVendor(const std::optional<std::string>& commandLine,
                                const char* environment);
// The same with this process's environment.
UsbVendorChoice ChooseUsbVendor(const std::optional<std::string>& commandLine = std::nullopt);

// "build", "environment", "command line".
const char* UsbVendorSourceName(UsbVendorSource source);
