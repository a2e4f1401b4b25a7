#pragma once

#include <QLoggingCategory>
#include <string>
#include <string_view>

// What a technician turns on to see why a connection does not work; every debug message is off
// unless enabled (q73580-cli --debug, or QT_LOGGING_RULES="q73580.*.debug=true").
Q_DECLARE_LOGGING_CATEGORY(TraceLink)  // q73580.link: opens, closes, failures, waits for data
Q_DECLARE_LOGGING_CATEGORY(TraceWire)  // q73580.wire: command lines sent, reply frames received
Q_DECLARE_LOGGING_CATEGORY(TraceUdp)   // q73580.udp: setup datagrams and their waits

// Bytes from the printer or the user made safe for a log line or a terminal: printable ASCII
// stays, a backslash doubles, CR and LF become \r and \n, and every other byte (controls, DEL,
// C1 controls, anything non-ASCII) becomes \xNN, so nothing can reach the terminal as a control
// sequence.
std::string TraceEscaped(std::string_view bytes);
