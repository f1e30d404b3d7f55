// The checks of the account. Built, like the checks of the command file, without
// coverage and without the address sanitizer: they only read what the target
// collected.
#include "account_check.h"

#include <string>
#include <vector>

#include "command_file_check.h"

namespace {

constexpr int kClasses = 10;
// By class id, as the account's class column names them.
const char* const kClassCodes[kClasses] = {"wd", "tdd", "fd", "pd",  "td",
                                           "ud", "cd",  "ld", "tsd", "rd"};
const char kHeader[] = "record,table,class,resource,outcome,reason\r\n";

// The fields of one row, kept from row to row and input to input.
struct Row {
  std::string field[6];
  int count = 0;
};

// Reads the row at *rAt of csv into *row, as RFC 4180 writes it with every line
// ended by CR LF; false at a row that is not so.
bool ReadRow(const std::string& csv, size_t* rAt, Row* row) {
  size_t i = *rAt;
  row->count = 0;
  for (;;) {
    if (row->count == 6) return false;
    std::string& field = row->field[row->count++];
    field.clear();
    if (i < csv.size() && csv[i] == '"') {
      for (++i;; ++i) {
        if (i >= csv.size()) return false;
        if (csv[i] != '"') {
          field.push_back(csv[i]);
        } else if (i + 1 < csv.size() && csv[i + 1] == '"') {
          field.push_back(csv[++i]);
        } else {
          ++i;
          break;
        }
      }
    } else {
      while (i < csv.size() && csv[i] != ',' && csv[i] != '\r' && csv[i] != '\n' && csv[i] != '"') {
        field.push_back(csv[i++]);
      }
    }
    if (i < csv.size() && csv[i] == ',') {
      ++i;
      continue;
    }
    if (i + 1 >= csv.size() || csv[i] != '\r' || csv[i + 1] != '\n') return false;
    *rAt = i + 2;
    return row->count == 6;
  }
}

// Reads a line from left to right. Compared here rather than by memcmp or the
// string's own comparisons: the sanitizer passes every memcmp to the fuzzer as
// a hint, and the checks' comparisons are not what it should chase.
class Cursor {
 public:
  Cursor(const char* text, size_t len) : p_(text), end_(text + len) {}
  template <size_t N>
  bool Literal(const char (&text)[N]) {
    if (static_cast<size_t>(end_ - p_) < N - 1) return false;
    for (size_t i = 0; i < N - 1; ++i) {
      if (p_[i] != text[i]) return false;
    }
    p_ += N - 1;
    return true;
  }
  // A decimal number of at most nine digits.
  bool Number(long* n) {
    const char* start = p_;
    *n = 0;
    while (p_ < end_ && *p_ >= '0' && *p_ <= '9' && p_ - start < 9) *n = *n * 10 + (*p_++ - '0');
    return p_ > start && (p_ == end_ || *p_ < '0' || *p_ > '9');
  }
  bool AtEnd() const { return p_ == end_; }

 private:
  const char* p_;
  const char* end_;
};

bool SameText(const std::string& text, const char* other) {
  size_t i = 0;
  for (; i < text.size(); ++i) {
    if (other[i] != text[i]) return false;
  }
  return other[i] == '\0';
}

template <size_t N>
bool Is(const std::string& text, const char (&literal)[N]) {
  Cursor cursor(text.data(), text.size());
  return cursor.Literal(literal) && cursor.AtEnd();
}

// The report's count of one class.
struct Counted {
  long checked = 0;
  long migrated = 0;
};

// The count lines of the classes, in class order, and the numbers of the
// account's closing line; false when the report does not hold them so.
bool ReadReport(const std::string& report, Counted (&classes)[kClasses], long* records,
                long* definitions) {
  int cls = 0;
  bool closed = false;
  for (size_t pos = 0, end; pos < report.size(); pos = end + 1) {
    end = report.find('\n', pos);
    if (end == std::string::npos) end = report.size();
    const char* line = report.data() + pos;
    const size_t len = end - pos;
    Counted counted;
    Cursor none(line, len);
    Cursor checked(line, len);
    if (none.Literal("      No records for this class") && none.AtEnd()) {
      if (cls == kClasses) return false;
      classes[cls++] = counted;
    } else if (checked.Literal("      ") && checked.Number(&counted.checked) &&
               checked.Literal(" records checked, ") && checked.Number(&counted.migrated) &&
               checked.Literal(" migrated") && checked.AtEnd()) {
      if (cls == kClasses) return false;
      classes[cls++] = counted;
    } else {
      // " Account file: <name>; N records, M definitions", the last line.
      Cursor closing(line, len);
      if (!closing.Literal(" Account file: ")) continue;
      size_t semicolon = len;
      while (semicolon > 0 && line[semicolon - 1] != ';') --semicolon;
      if (closed || semicolon == 0) return false;
      --semicolon;
      Cursor numbers(line + semicolon, len - semicolon);
      if (!numbers.Literal("; ") || !numbers.Number(records) || !numbers.Literal(" records, ") ||
          !numbers.Number(definitions) || !numbers.Literal(" definitions") || !numbers.AtEnd()) {
        return false;
      }
      closed = true;
    }
  }
  return cls == kClasses && closed;
}

}  // namespace

void CheckAccount(const std::string& csv, const std::string& report, uint32_t records) {
  Cursor header(csv.data(), csv.size());
  if (!header.Literal(kHeader)) Fault("account without its header", csv.substr(0, 300));
  Counted reported[kClasses];
  long closing_records = -1;
  long closing_definitions = -1;
  if (!ReadReport(report, reported, &closing_records, &closing_definitions)) {
    Fault("report without the counts of every class and the account's closing line", report);
  }
  // What each record of the control file became: the rows that name it.
  static std::vector<uint8_t> skipped;
  static std::vector<uint8_t> defined;
  skipped.assign(records + 1, 0);
  defined.assign(records + 1, 0);
  Counted rows[kClasses];
  long definitions = 0;
  static Row row;
  for (size_t at = sizeof kHeader - 1; at < csv.size();) {
    const size_t start = at;
    if (!ReadRow(csv, &at, &row)) Fault("account row that is not CSV", csv.substr(start, 300));
    Cursor ordinal(row.field[0].data(), row.field[0].size());
    long record = 0;
    if (!ordinal.Number(&record) || !ordinal.AtEnd() || record < 1 ||
        record > static_cast<long>(records)) {
      Fault("account row of a record that was not read", csv.substr(start, 300));
    }
    const std::string& cls = row.field[2];
    const std::string& outcome = row.field[4];
    if (cls.empty()) {
      if (!Is(outcome, "skipped") || skipped[record]++ != 0) {
        Fault("record skipped twice, or a skipped row with an outcome", csv.substr(start, 300));
      }
      continue;
    }
    int c = 0;
    while (c < kClasses && !SameText(cls, kClassCodes[c])) ++c;
    if (c == kClasses) Fault("account row of an unknown class", csv.substr(start, 300));
    defined[record] = 1;
    ++definitions;
    ++rows[c].checked;
    if (Is(outcome, "migrated") || Is(outcome, "amended")) {
      ++rows[c].migrated;
    } else if (!Is(outcome, "not migrated")) {
      Fault("definition row with an unknown outcome", csv.substr(start, 300));
    }
  }
  for (uint32_t r = 1; r <= records; ++r) {
    // Every record has its rows: one skipped, or one for each definition it gave.
    if ((skipped[r] != 0) == (defined[r] != 0)) {
      Fault(skipped[r] != 0 ? "record both skipped and defined" : "record without a row",
            std::to_string(r));
    }
  }
  for (int c = 0; c < kClasses; ++c) {
    if (rows[c].checked != reported[c].checked || rows[c].migrated != reported[c].migrated) {
      Fault("account's rows of a class differ from the report's count", kClassCodes[c]);
    }
  }
  if (closing_records != static_cast<long>(records) || closing_definitions != definitions) {
    Fault("account's closing line differs from its rows",
          std::to_string(closing_records) + " " + std::to_string(closing_definitions));
  }
}
