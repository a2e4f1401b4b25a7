#include "link/open_failure.h"

#include <cerrno>
#include <cstring>

OpenFailure OpenFailureFromErrno(int error, std::string_view device, std::string_view groupHint) {
  const std::string where = std::string(device) + ": ";
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return {OpenFailureCause::NotFound, where + "no such device"};
    case EACCES:
    case EPERM: {
      std::string text = where + "permission denied";
      if (!groupHint.empty()) {
        text += " \u2014 add your user to the " + std::string(groupHint) + " group";
      }
      return {OpenFailureCause::PermissionDenied, text};
    }
    case EBUSY:
    case EWOULDBLOCK:
      return {OpenFailureCause::Busy, where + "in use by another program"};
    default:
      break;
  }
  return {OpenFailureCause::Other, where + std::strerror(error)};
}

const char* OpenFailureCauseName(OpenFailureCause cause) {
  switch (cause) {
    case OpenFailureCause::None:
      return "none";
    case OpenFailureCause::NoSettings:
      return "no-settings";
    case OpenFailureCause::NotFound:
      return "not-found";
    case OpenFailureCause::PermissionDenied:
      return "permission-denied";
    case OpenFailureCause::Busy:
      return "busy";
    case OpenFailureCause::LineNotSupported:
      return "line-not-supported";
    case OpenFailureCause::HostUnresolved:
      return "host-unresolved";
    case OpenFailureCause::HostRefused:
      return "host-refused";
    case OpenFailureCause::ConnectionRefused:
      return "connection-refused";
    case OpenFailureCause::TimedOut:
      return "timed-out";
    case OpenFailureCause::NoDevice:
      return "no-device";
    case OpenFailureCause::Other:
      break;
  }
  return "other";
}
