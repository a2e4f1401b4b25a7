#include "link/transfer_failure.h"

const char* TransferFailureCauseName(TransferFailureCause cause) {
  switch (cause) {
    case TransferFailureCause::None:
      return "none";
    case TransferFailureCause::WriteStopped:
      return "write-stopped";
    case TransferFailureCause::NoReply:
      return "no-reply";
    case TransferFailureCause::CannotReceive:
      return "cannot-receive";
    case TransferFailureCause::ReceiveBroken:
      return "receive-broken";
    case TransferFailureCause::NoFrame:
      return "no-frame";
    case TransferFailureCause::FrameTooLong:
      return "frame-too-long";
    case TransferFailureCause::LengthMismatch:
      return "length-mismatch";
    case TransferFailureCause::FrameCutOff:
      return "frame-cut-off";
    case TransferFailureCause::BadFrame:
      break;
  }
  return "bad-frame";
}
