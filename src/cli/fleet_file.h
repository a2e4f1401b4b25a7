#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/printer_rules.h"

// A whole site's printer settings as one file: what `export` writes and `apply` reads. Either
// CSV with the header line `mac,name,mode,ip,mask,gateway`, or a JSON array of objects with those
// keys. Nothing here touches the network.

// One printer's settings. Texts are Latin-1 bytes, as the records hold them.
struct FleetRow {
  std::string mac;   // as MacToText writes it: "00:1A:2B:3C:4D:5E"
  std::string name;  // at most PrinterNameMaxLength characters, CheckPrinterText clean
  bool dhcp = false;
  std::string ip, mask, gateway;  // dotted quads; in a DHCP row each may also be empty
  int line = 0;                   // where the row begins in the file, counted from 1

  bool operator==(const FleetRow&) const = default;
};

// The first thing wrong with a file. `message` reads "line 7: the name ... ", so it can stand on
// its own after the program's name; `line` is 0 for the file as a whole (empty, too large).
struct FleetFileError {
  int line = 0;
  std::string message;
};

// The most a file may hold: a discovery never lists more printers than this.
inline constexpr int FleetMaxRows = DiscoveryMaxReplies;
// A file of FleetMaxRows rows is far below this; anything larger is refused before it is parsed.
inline constexpr std::size_t FleetFileMaxBytes = 1024 * 1024;

// What ReadFleetFile read: the rows in the file's order, and whether the bytes had to be taken as
// Windows-1252, which the user should hear of.
struct FleetFile {
  std::vector<FleetRow> rows;
  bool windows1252 = false;
};

// Reads and checks the whole file: UTF-8 with an optional byte order mark, or else Windows-1252
// when every byte has a character there; LF or CRLF line ends. JSON when the first character that
// is not blank is '[', else CSV separated by ',' or ';', whichever the header line uses; columns
// with an empty header are ignored while their cells are empty. Every row is checked before any is
// returned: the MAC form, the name rules, the mode (dhcp or static, any case), dotted quads in
// static rows, and no MAC twice.
std::variant<FleetFile, FleetFileError> ReadFleetFile(std::string_view bytes);

// The rows as CSV: the header line, then one line per row, fields quoted only where RFC 4180
// needs it; LF line ends; names in UTF-8.
std::string FleetCsv(const std::vector<FleetRow>& rows);

// The rows as a JSON array, one object per line with the keys in the CSV's column order, so that
// ReadFleetFile can name the line of a row; names in UTF-8.
std::string FleetJson(const std::vector<FleetRow>& rows);
