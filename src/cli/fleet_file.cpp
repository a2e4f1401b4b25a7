#include "cli/fleet_file.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <utility>

#include "protocol/address_text.h"

namespace {

enum Column { Mac, Name, Mode, Ip, Mask, Gateway, ColumnCount };
constexpr std::array<const char*, ColumnCount> ColumnNames = {"mac", "name", "mode",
                                                              "ip",  "mask", "gateway"};
constexpr const char* ColumnList = "mac, name, mode, ip, mask, gateway";

using Cells = std::array<QString, ColumnCount>;

FleetFileError Fail(int line, const std::string& what) {
  return {line, line > 0 ? "line " + std::to_string(line) + ": " + what : what};
}

std::string Quoted(const QString& text) {
  return "'" + text.toStdString() + "'";
}

std::string Latin1(const QString& text) {
  return text.toLatin1().toStdString();
}

std::string Utf8(const std::string& latin1) {
  return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())).toStdString();
}

int LineAt(std::string_view text, std::size_t offset) {
  const auto head = text.substr(0, std::min(offset, text.size()));
  return 1 + static_cast<int>(std::count(head.begin(), head.end(), '\n'));
}

// The line of the first byte that is not UTF-8, if any. No sequence spans a line break, so the
// first line that fails on its own holds it. `utf8` learns whether a line beyond ASCII reads as
// UTF-8: a file with both is mixed, and no single code page reads it right.
std::optional<int> FirstNonUtf8Line(std::string_view text, bool& utf8) {
  std::optional<int> first;
  int line = 1;
  for (std::size_t start = 0; start < text.size(); ++line) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    // Stateless, so that a sequence cut off at the end counts as an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(QByteArrayView(text.data() + start, qsizetype(end - start)));
    if (decoder.hasError()) {
      first = first.value_or(line);
    } else if (decoded.size() < qsizetype(end - start)) {
      utf8 = true;  // fewer characters than bytes: a sequence of several bytes
    }
    start = end + 1;
  }
  return first;
}

// Windows-1252 from 0x80 to 0x9F, where it differs from Latin-1; 0 for the five bytes it leaves
// without a character.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The text in UTF-8 when every byte is a Windows-1252 character, as a spreadsheet saves CSV in a
// Western European code page.
std::optional<std::string> Windows1252ToUtf8(std::string_view bytes) {
  std::u16string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : char16_t(byte);
    if (text.back() == 0 && byte != 0) {
      return std::nullopt;
    }
  }
  return QString::fromStdU16String(text).toStdString();
}

// The column named `name`, if any.
std::optional<Column> ColumnNamed(const QString& name, Qt::CaseSensitivity cs) {
  for (std::size_t c = 0; c < ColumnCount; ++c) {
    if (name.compare(QLatin1String(ColumnNames[c]), cs) == 0) {
      return static_cast<Column>(c);
    }
  }
  return std::nullopt;
}

// Checks each row as it comes and keeps the MACs seen, so that a second one names the first.
class RowChecker {
 public:
  std::optional<FleetFileError> Add(const Cells& cells, int line) {
    const auto fail = [line](Column column, const std::string& what) {
      return Fail(line, std::string(ColumnNames[column]) + ": " + what);
    };
    FleetRow row;
    row.line = line;

    const QString macText = cells[Mac].trimmed();
    const std::optional<MacBytes> mac = TypedTextToMac(macText.toStdString());
    if (!mac) {
      return fail(Mac, Quoted(macText) +
                           " is not a MAC address (six pairs of hex digits joined by ':' or "
                           "'-', or twelve hex digits, like 00:1A:2B:3C:4D:5E)");
    }
    row.mac = MacToText(*mac);
    if (const auto [seen, added] = macLines_.emplace(row.mac, line); !added) {
      return fail(Mac, row.mac + " is already on line " + std::to_string(seen->second));
    }

    // The name is taken as written: blanks around it are part of it.
    const QString& name = cells[Name];
    if (const std::optional<TextProblem> problem = CheckPrinterName(name)) {
      return fail(Name, problem->fault == TextFault::Blank
                            ? "the printer name is empty or only blanks; every printer in the "
                              "file needs one"
                        : problem->fault == TextFault::TooLong
                            ? "the printer name is longer than " +
                                  std::to_string(PrinterNameMaxLength) + " characters"
                        : problem->fault == TextFault::NotLatin1
                            ? "the printer name contains a character the printer cannot take "
                              "(only Latin-1 is possible)"
                            : "the printer name may not contain quotation marks or control "
                              "characters");
    }
    row.name = Latin1(name);

    const QString mode = cells[Mode].trimmed();
    row.dhcp = mode.compare(QLatin1String("dhcp"), Qt::CaseInsensitive) == 0;
    if (!row.dhcp && mode.compare(QLatin1String("static"), Qt::CaseInsensitive) != 0) {
      return fail(Mode, Quoted(mode) + " is neither dhcp nor static");
    }

    // A DHCP row may leave its addresses out; those it gives must still be addresses.
    for (const Column column : {Ip, Mask, Gateway}) {
      const QString text = cells[column].trimmed();
      if (text.isEmpty() && !row.dhcp) {
        return fail(column, "empty, but a static printer needs it");
      }
      if (!text.isEmpty() && !IsDottedQuad(QStringView(text))) {
        return fail(column, Quoted(text) + " is not four numbers from 0 to 255 joined by dots");
      }
      (column == Ip ? row.ip : column == Mask ? row.mask : row.gateway) = Latin1(text);
    }
    rows_.push_back(std::move(row));
    return std::nullopt;
  }

  int Count() const { return static_cast<int>(rows_.size()); }
  std::vector<FleetRow> Take() { return std::move(rows_); }

 private:
  std::map<std::string, int> macLines_;
  std::vector<FleetRow> rows_;
};

FleetFileError TooManyRows(int line) {
  return Fail(line, "more than " + std::to_string(FleetMaxRows) +
                        " printers; a discovery lists at most " + std::to_string(FleetMaxRows));
}

// RFC 4180 records, one at a time, so that a file far beyond the row limit stops at the limit.
class CsvReader {
 public:
  CsvReader(std::string_view text, char separator) : text_(text), separator_(separator) {}

  // Skips blank lines; false at the end of the text. Line() is then where the record begins.
  bool NextRecord() {
    for (;;) {
      pos_ = std::min(text_.find_first_not_of(" \t", pos_), text_.size());
      if (pos_ == text_.size()) {
        return false;
      }
      if (!AtLineEnd()) {
        return true;
      }
      SkipLineEnd();
    }
  }

  int Line() const { return line_; }

  std::optional<FleetFileError> Read(std::vector<std::string>& fields) {
    fields.clear();
    for (;;) {
      std::string field;
      if (pos_ < text_.size() && text_[pos_] == '"') {
        const int opened = line_;
        for (++pos_;; ++pos_) {
          if (pos_ == text_.size()) {
            return Fail(opened, "a quotation mark that is never closed");
          }
          if (text_[pos_] == '"') {
            if (pos_ + 1 == text_.size() || text_[pos_ + 1] != '"') {
              break;
            }
            ++pos_;  // a doubled quotation mark stands for one
          } else if (text_[pos_] == '\n') {
            ++line_;
          }
          field += text_[pos_];
        }
        ++pos_;
        if (!AtLineEnd() && text_[pos_] != separator_) {
          return Fail(line_, "text after the quotation mark that closes a field");
        }
      } else {
        for (; !AtLineEnd() && text_[pos_] != separator_; ++pos_) {
          if (text_[pos_] == '"') {
            return Fail(line_,
                        "a quotation mark inside a field that does not start with one (quote the "
                        "whole field and double the mark)");
          }
          field += text_[pos_];
        }
      }
      fields.push_back(std::move(field));
      if (AtLineEnd()) {
        SkipLineEnd();
        return std::nullopt;
      }
      ++pos_;  // the separator
    }
  }

 private:
  bool AtLineEnd() const {
    return pos_ == text_.size() || text_[pos_] == '\n' ||
           (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n');
  }
  void SkipLineEnd() {
    if (pos_ < text_.size()) {
      pos_ += text_[pos_] == '\r' ? 2 : 1;
      ++line_;
    }
  }

  std::string_view text_;
  char separator_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

// ',' or ';', whichever the header line uses first outside quotation marks; a spreadsheet in a
// locale with a decimal comma writes ';'.
char HeaderSeparator(std::string_view header) {
  bool quoted = false;
  for (const char c : header.substr(0, header.find('\n'))) {
    quoted = quoted != (c == '"');
    if (!quoted && (c == ',' || c == ';')) {
      return c;
    }
  }
  return ',';
}

std::variant<std::vector<FleetRow>, FleetFileError> ReadCsv(std::string_view text,
                                                            std::string_view header) {
  CsvReader csv(text, HeaderSeparator(header));
  std::vector<std::string> fields;
  csv.NextRecord();  // the caller made sure the text is not blank
  const int headerLine = csv.Line();
  if (std::optional<FleetFileError> error = csv.Read(fields)) {
    return *error;
  }
  const std::size_t width = fields.size();
  std::array<int, ColumnCount> index;
  index.fill(-1);
  std::vector<std::size_t> unnamed;  // a spreadsheet's unused columns: ignored while empty
  for (std::size_t i = 0; i < width; ++i) {
    const QString name = QString::fromUtf8(fields[i]).trimmed();
    if (name.isEmpty()) {
      unnamed.push_back(i);
      continue;
    }
    const std::optional<Column> found = ColumnNamed(name, Qt::CaseInsensitive);
    if (!found) {
      return Fail(headerLine,
                  "unknown column " + Quoted(name) + " (the columns are " + ColumnList + ")");
    }
    int& column = index[*found];
    if (column >= 0) {
      return Fail(headerLine, "column " + Quoted(name) + " is named twice");
    }
    column = static_cast<int>(i);
  }
  for (std::size_t c = 0; c < ColumnCount; ++c) {
    if (index[c] < 0) {
      return Fail(headerLine, std::string("no column '") + ColumnNames[c] + "'");
    }
  }

  RowChecker checker;
  while (csv.NextRecord()) {
    const int line = csv.Line();
    if (checker.Count() == FleetMaxRows) {
      return TooManyRows(line);
    }
    if (std::optional<FleetFileError> error = csv.Read(fields)) {
      return *error;
    }
    if (fields.size() != width) {
      return Fail(line, std::to_string(fields.size()) + " fields, but the header line has " +
                            std::to_string(width));
    }
    for (const std::size_t i : unnamed) {
      if (fields[i].find_first_not_of(" \t") != std::string::npos) {
        return Fail(line, "column " + std::to_string(i + 1) +
                              " has no name in the header line but holds '" + fields[i] + "'");
      }
    }
    Cells cells;
    for (std::size_t c = 0; c < ColumnCount; ++c) {
      cells[c] = QString::fromStdString(fields[static_cast<std::size_t>(index[c])]);
    }
    if (std::optional<FleetFileError> error = checker.Add(cells, line)) {
      return *error;
    }
  }
  if (checker.Count() == 0) {
    return Fail(0, "the file lists no printers");
  }
  return checker.Take();
}

// The line where each element of the top-level array begins, for text that parsed as JSON.
std::vector<int> ElementLines(std::string_view text) {
  std::vector<int> lines;
  int line = 1;
  int depth = 0;
  bool elementNext = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    line += c == '\n' ? 1 : 0;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      continue;
    }
    if (depth == 1 && elementNext && c != ']') {
      lines.push_back(line);
      elementNext = false;
    }
    if (c == '"') {  // valid JSON holds no raw line break inside a string
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        i += text[i] == '\\' ? 1 : 0;
      }
    } else if (c == '[' || c == '{') {
      elementNext = ++depth == 1;
    } else if (c == ']' || c == '}') {
      --depth;
    } else if (c == ',' && depth == 1) {
      elementNext = true;
    }
  }
  return lines;
}

std::variant<std::vector<FleetRow>, FleetFileError> ReadJson(std::string_view text) {
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray(text.data(), static_cast<qsizetype>(text.size())), &parseError);
  if (parseError.error != QJsonParseError::NoError) {
    return Fail(LineAt(text, static_cast<std::size_t>(std::max(0, parseError.offset))),
                "not valid JSON (" + parseError.errorString().toStdString() + ")");
  }
  const QJsonArray array = document.array();
  if (array.isEmpty()) {
    return Fail(0, "the file lists no printers");
  }
  const std::vector<int> lines = ElementLines(text);
  RowChecker checker;
  for (qsizetype i = 0; i < array.size(); ++i) {
    const int line = std::cmp_less(i, lines.size()) ? lines[static_cast<std::size_t>(i)] : 0;
    if (i == FleetMaxRows) {
      return TooManyRows(line);
    }
    if (!array[i].isObject()) {
      return Fail(line, std::string("not an object with the keys ") + ColumnList);
    }
    const QJsonObject object = array[i].toObject();
    for (const QString& key : object.keys()) {
      if (!ColumnNamed(key, Qt::CaseSensitive)) {
        return Fail(line, "unknown key " + Quoted(key) + " (the keys are " + ColumnList + ")");
      }
    }
    Cells cells;
    for (std::size_t c = 0; c < ColumnCount; ++c) {
      const QJsonValue value = object.value(QLatin1String(ColumnNames[c]));
      if (value.isUndefined()) {
        return Fail(line, std::string("no key '") + ColumnNames[c] + "'");
      }
      if (!value.isString()) {
        return Fail(line, std::string(ColumnNames[c]) + ": not a string");
      }
      cells[c] = value.toString();
    }
    if (std::optional<FleetFileError> error = checker.Add(cells, line)) {
      return *error;
    }
  }
  return checker.Take();
}

// A row's fields in column order, as Latin-1 bytes.
std::array<std::string, ColumnCount> Fields(const FleetRow& row) {
  return {row.mac, row.name, row.dhcp ? "dhcp" : "static", row.ip, row.mask, row.gateway};
}

std::string CsvField(const std::string& latin1) {
  const std::string text = Utf8(latin1);
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c == '"' ? "\"\"" : std::string(1, c);
  }
  return quoted + '"';
}

std::string JsonString(const std::string& latin1) {
  std::string out = "\"";
  for (const char c : latin1) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += std::string("\\u00") + "01"[c >> 4] + "0123456789abcdef"[c & 0xF];
    } else {
      out += c;
    }
  }
  return Utf8(out + '"');
}

}  // namespace

std::variant<FleetFile, FleetFileError> ReadFleetFile(std::string_view bytes) {
  if (bytes.size() > FleetFileMaxBytes) {
    return Fail(0, "the file is larger than 1 MiB");
  }
  const bool byteOrderMark = bytes.starts_with("\xEF\xBB\xBF");
  if (byteOrderMark) {
    bytes.remove_prefix(3);
  }
  std::optional<std::string> decoded;
  bool utf8 = byteOrderMark;
  if (const std::optional<int> line = FirstNonUtf8Line(bytes, utf8)) {
    // A byte order mark or a line of UTF-8 says UTF-8: such a file is broken, not in another
    // code page, and reading it as one would garble the names that are UTF-8.
    decoded = utf8 ? std::nullopt : Windows1252ToUtf8(bytes);
    if (!decoded) {
      return Fail(*line, "not UTF-8 text");
    }
    bytes = *decoded;
  }
  const std::size_t first = bytes.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) {
    return Fail(0, "the file is empty");
  }
  auto read = bytes[first] == '[' ? ReadJson(bytes) : ReadCsv(bytes, bytes.substr(first));
  if (FleetFileError* error = std::get_if<FleetFileError>(&read)) {
    return std::move(*error);
  }
  return FleetFile{std::move(std::get<std::vector<FleetRow>>(read)), decoded.has_value()};
}

std::string FleetCsv(const std::vector<FleetRow>& rows) {
  std::string out = "mac,name,mode,ip,mask,gateway\n";
  for (const FleetRow& row : rows) {
    const auto fields = Fields(row);
    for (std::size_t c = 0; c < ColumnCount; ++c) {
      out += CsvField(fields[c]) + (c + 1 < ColumnCount ? "," : "\n");
    }
  }
  return out;
}

std::string FleetJson(const std::vector<FleetRow>& rows) {
  std::string out = "[\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto fields = Fields(rows[i]);
    for (std::size_t c = 0; c < ColumnCount; ++c) {
      out += (c == 0 ? "{\"" : ",\"") + std::string(ColumnNames[c]) + "\":" + JsonString(fields[c]);
    }
    out += i + 1 < rows.size() ? "},\n" : "}\n";
  }
  return out + "]\n";
}
