// The fleet file reader on any bytes: what it takes holds only rows the printer can take, every
// refusal names a line the file has, and what export writes of the rows reads back the same.
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/fleet_file.h"
#include "common/printer_rules.h"
#include "protocol/address_text.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fleet_file: %s\n", what);
    std::abort();
  }
}

void RequireAddress(const std::string& text, bool dhcp) {
  Require((dhcp && text.empty()) || IsDottedQuad(text), "a row with an address that is none");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto read = ReadFleetFile(bytes);
  if (const auto* error = std::get_if<FleetFileError>(&read)) {
    const int lines = 1 + static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
    Require(error->line >= 0 && error->line <= lines, "a refusal names a line the file lacks");
    Require(error->line == 0 ? !error->message.empty()
                             : error->message.starts_with("line " + std::to_string(error->line)),
            "a refusal's message does not start with its line");
    return 0;
  }

  const FleetFile& file = std::get<FleetFile>(read);
  Require(!file.rows.empty() && file.rows.size() <= FleetMaxRows, "a row count out of bounds");
  std::set<std::string> macs;
  int previous = 1;
  for (const FleetRow& row : file.rows) {
    const std::optional<MacBytes> mac = TextToMac(row.mac);
    Require(mac && MacToText(*mac) == row.mac, "a MAC not in the form MacToText writes");
    Require(macs.insert(row.mac).second, "a MAC twice");
    Require(row.line >= previous, "a row's line before the one of the row above");
    previous = row.line;
    const QString name = QString::fromLatin1(row.name.data(), qsizetype(row.name.size()));
    Require(!row.name.empty() && !CheckPrinterName(name), "a name the printer cannot take");
    RequireAddress(row.ip, row.dhcp);
    RequireAddress(row.mask, row.dhcp);
    RequireAddress(row.gateway, row.dhcp);
  }

  std::vector<FleetRow> written = file.rows;
  for (std::size_t i = 0; i < written.size(); ++i) {
    written[i].line = static_cast<int>(i) + 2;  // after the header line or the '['
  }
  for (const std::string& text : {FleetCsv(file.rows), FleetJson(file.rows)}) {
    const auto back = ReadFleetFile(text);
    const auto* again = std::get_if<FleetFile>(&back);
    Require(again != nullptr, "what export writes is refused");
    Require(again->rows == written, "what export writes reads back otherwise");
    Require(!again->windows1252, "what export writes is not UTF-8");
  }
  return 0;
}
