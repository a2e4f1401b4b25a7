#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Why an open failed. The message the user sees stays "Open Port Error"; this is what is shown
// beside it, so that a technician knows whether to plug in, add a group or free the port.
enum class OpenFailureCause : std::int32_t {
  None = 0,           // the last open succeeded, or none was tried
  NoSettings,         // the owner's records were never handed over, or the name is empty
  NotFound,           // no such device or file
  PermissionDenied,   // the device exists but this user may not open it
  Busy,               // another program holds the port
  LineNotSupported,   // the port cannot carry the line settings asked for
  HostUnresolved,     // the host name does not resolve to an IPv4 address
  HostRefused,        // an address that can never be a printer (0.0.0.0)
  ConnectionRefused,  // nothing listens at that port
  TimedOut,           // no answer to the connect in time
  NoDevice,           // no USB printer of the vendor looked for
  Other,              // anything else the system said
};

struct OpenFailure {
  OpenFailureCause cause = OpenFailureCause::None;
  // One line in plain words, naming the device or host: "/dev/ttyUSB0: permission denied — add
  // your user to the dialout group". Empty when cause is None.
  std::string detail;

  bool Failed() const { return cause != OpenFailureCause::None; }
};

// The cause as a short lower-case word for scripts: "permission-denied", "no-device", ...
const char* OpenFailureCauseName(OpenFailureCause cause);

// The one place where a system error number becomes a cause: `device` names what was opened,
// `groupHint` is the group whose members may open such devices ("dialout", "lp"; empty: none).
OpenFailure OpenFailureFromErrno(int error, std::string_view device,
                                 std::string_view groupHint = {});

// The same for a Win32 error code (GetLastError()); an empty `device` leaves the name out.
// Only the Windows build has it.
OpenFailure OpenFailureFromWin32(std::uint32_t error, std::string_view device);
