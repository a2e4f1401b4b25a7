#include <windows.h>

#include "link/open_failure.h"
#include "link/overlapped_io_win.h"

OpenFailure OpenFailureFromWin32(std::uint32_t error, std::string_view device) {
  const std::string where = device.empty() ? std::string() : std::string(device) + ": ";
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
      return {OpenFailureCause::NotFound, where + "no such device"};
    // A serial or parallel port another program has open answers "access denied": Windows
    // gives those ports to one opener only, and a user's rights do not come into it.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
    case ERROR_DEVICE_IN_USE:
      return {OpenFailureCause::Busy, where + "in use by another program"};
    default:
      break;
  }
  return {OpenFailureCause::Other, where + win32::ErrorText(error)};
}
