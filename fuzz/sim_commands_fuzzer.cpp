// The virtual printer's command interpreter, fed the same bytes whole and in arbitrary pieces.
//
// Input: byte 0 switches reply faults on (bit 0 bad length, bit 1 oversized frame, bit 2 close
// mid-frame, bit 3 lead-in garbage of byte 1 & 63 bytes, bit 4 silence on YEAR, bit 5 limits
// the faults to NETNAME); byte 1 also seeds the cut points. The rest is the byte stream.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "printer-sim/command_interpreter.h"

namespace {

using printer_sim::CommandInterpreter;
using printer_sim::CommandKind;
using printer_sim::CommandOutcome;
using printer_sim::FaultSwitches;
using printer_sim::PrinterState;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "sim_commands: %s\n", what);
    std::abort();
  }
}

std::chrono::sys_seconds FixedClock() {
  using namespace std::chrono;
  return sys_days{year{2026} / 3 / 14} + hours{11} + minutes{5} + seconds{9};
}

bool SameOutcome(const CommandOutcome& a, const CommandOutcome& b) {
  return a.raw == b.raw && a.command == b.command && a.kind == b.kind && a.silenced == b.silenced &&
         a.reply == b.reply;
}

// "{" digits "|" body "}" whose digits give the body's length, plus `extra`.
bool IsFrame(std::string_view bytes, std::size_t extra) {
  if (bytes.size() < 3 || bytes.front() != '{' || bytes.back() != '}') {
    return false;
  }
  const std::size_t bar = bytes.find('|');
  if (bar == std::string_view::npos || bar < 2) {
    return false;
  }
  const std::string_view digits = bytes.substr(1, bar - 1);
  if (digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  const std::size_t body = bytes.size() - bar - 2;
  return digits == std::to_string(body + extra);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const std::uint8_t switches = data[0];
  const std::uint8_t seed = data[1];
  const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);

  FaultSwitches faults;
  faults.badLength.value = (switches & 0x01) != 0;
  faults.oversizedFrame.value = (switches & 0x02) != 0;
  faults.closeMidFrame.value = (switches & 0x04) != 0;
  if (switches & 0x08) {
    faults.leadInGarbage.value = seed & 63;
  }
  if (switches & 0x10) {
    faults.silentOn.insert("DIAGNOSTIC REPORT YEAR");
  }
  if (switches & 0x20) {
    faults.LimitTo("DIAGNOSTIC REPORT NETNAME");
  }
  const bool anyReplyFault = faults.badLength.value || faults.oversizedFrame.value ||
                             faults.closeMidFrame.value || faults.leadInGarbage.value != 0;

  const PrinterState factory;
  PrinterState wholeState;
  CommandInterpreter whole(factory, FixedClock);
  const std::vector<CommandOutcome> expected = whole.Feed(stream, wholeState, faults);
  Require(whole.Pending().size() < CommandInterpreter::MaxLineBytes, "a line grew past its limit");

  // The same bytes in pieces of 0 to 63 bytes.
  PrinterState piecesState;
  CommandInterpreter pieces(factory, FixedClock);
  std::vector<CommandOutcome> got;
  std::uint32_t random = seed * 2654435761u + 1;
  for (std::size_t at = 0; at < stream.size();) {
    random = random * 1103515245u + 12345u;
    const std::size_t take = std::min<std::size_t>((random >> 16) % 64, stream.size() - at);
    for (CommandOutcome& outcome : pieces.Feed(stream.substr(at, take), piecesState, faults)) {
      got.push_back(std::move(outcome));
    }
    Require(pieces.Pending().size() < CommandInterpreter::MaxLineBytes, "a line grew too long");
    at += take;
  }

  Require(got.size() == expected.size(), "the cut points changed the number of commands");
  for (std::size_t i = 0; i < got.size(); ++i) {
    Require(SameOutcome(got[i], expected[i]), "the cut points changed what a command did");
  }
  Require(piecesState == wholeState, "the cut points changed the printer's state");
  Require(pieces.Pending() == whole.Pending(), "the cut points changed the unfinished line");

  // Every byte is in exactly one line, in order.
  std::string rejoined;
  for (const CommandOutcome& outcome : expected) {
    Require(!outcome.raw.empty() && outcome.raw.size() <= CommandInterpreter::MaxLineBytes,
            "a line outside its size limits");
    Require(outcome.raw.starts_with(outcome.command), "a command is not its line's start");
    const std::string_view ending = std::string_view(outcome.raw).substr(outcome.command.size());
    Require(ending.empty() || ending == "\n" || ending == "\r\n", "a line ending other than CR LF");
    Require(outcome.reply.has_value() == (outcome.kind == CommandKind::Query && !outcome.silenced),
            "a reply to something other than an answered query");
    if (outcome.reply && !anyReplyFault) {
      Require(IsFrame(outcome.reply->bytes, 0), "a query answered with a malformed frame");
    }
    if (outcome.reply && faults.badLength.AppliesTo(outcome.command) &&
        !faults.closeMidFrame.AppliesTo(outcome.command) &&
        !faults.leadInGarbage.AppliesTo(outcome.command)) {
      Require(IsFrame(outcome.reply->bytes, 2), "a bad length that is not off by two");
    }
    if (outcome.reply && faults.leadInGarbage.AppliesTo(outcome.command)) {
      const std::string_view bytes = outcome.reply->bytes;
      Require(bytes.find('{') == faults.leadInGarbage.value, "the garbage holds a '{'");
    }
    rejoined += outcome.raw;
  }
  rejoined += whole.Pending();
  Require(rejoined == stream, "bytes were lost or repeated between lines");
  return 0;
}
