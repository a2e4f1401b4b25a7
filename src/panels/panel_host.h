#pragma once

#include <QDateTime>

#include "protocol/printer_operations.h"

// What a panel of the main window needs from it.
class PanelHost {
 public:
  virtual ~PanelHost() = default;

  // Runs one printer operation over the link selected at this moment, with the window taking
  // no input meanwhile; a failure is shown in a message box. Success is silent.
  virtual CommandResult RunPanelOperation(PrinterOperation operation, OperationRecord record) = 0;

  // Shows why typed input was refused, in an error box; the action that took it stops there.
  virtual void ShowInputError(const QString& text) = 0;

  // The PC's local date and time.
  virtual QDateTime Now() const = 0;
};
