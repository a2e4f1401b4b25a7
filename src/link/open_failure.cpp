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
