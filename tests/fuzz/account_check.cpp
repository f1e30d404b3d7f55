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

// A field of a row as it stands in the account: quotes, doubled quotes and all.
struct Field {
  const char* text = nullptr;
  size_t len = 0;
};

// Reads the row at *rAt, before end, into its six fields, as RFC 4180 writes
// it with every line ended by CR LF; false at a row that is not so. The fields
// are not copied: a quoted field keeps its quotes, and no field the checks
// compare (the ordinal, the class, the outcome) is ever quoted.
bool ReadRow(const char** rAt, const char* end, Field (&fields)[6]) {
  const char* p = *rAt;
  for (int count = 0; count < 6; ++count) {
    fields[count].text = p;
    if (p < end && *p == '"') {
      for (++p;; ++p) {
        if (p >= end) return false;
        if (*p != '"') continue;
        if (p + 1 < end && p[1] == '"') {
          ++p;
          continue;
        }
        ++p;
        break;
      }
    } else {
      while (p < end && *p != ',' && *p != '\r' && *p != '\n' && *p != '"') ++p;
    }
    fields[count].len = static_cast<size_t>(p - fields[count].text);
    if (count < 5) {
      if (p >= end || *p != ',') return false;
      ++p;
    }
  }
  if (end - p < 2 || p[0] != '\r' || p[1] != '\n') return false;
  *rAt = p + 2;
  return true;
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

bool SameText(const Field& field, const char* other) {
  size_t i = 0;
  for (; i < field.len; ++i) {
    if (other[i] != field.text[i]) return false;
  }
  return other[i] == '\0';
}

template <size_t N>
bool Is(const Field& field, const char (&literal)[N]) {
  Cursor cursor(field.text, field.len);
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
  Field row[6];
  const char* const end = csv.data() + csv.size();
  for (const char* at = csv.data() + sizeof kHeader - 1; at < end;) {
    const char* const start = at;
    const auto shown = [start, end] {
      return std::string(start, static_cast<size_t>(end - start < 300 ? end - start : 300));
    };
    if (!ReadRow(&at, end, row)) Fault("account row that is not CSV", shown());
    Cursor ordinal(row[0].text, row[0].len);
    long record = 0;
    if (!ordinal.Number(&record) || !ordinal.AtEnd() || record < 1 ||
        record > static_cast<long>(records)) {
      Fault("account row of a record that was not read", shown());
    }
    const Field& cls = row[2];
    const Field& outcome = row[4];
    if (cls.len == 0) {
      if (!Is(outcome, "skipped") || skipped[record]++ != 0) {
        Fault("record skipped twice, or a skipped row with an outcome", shown());
      }
      continue;
    }
    int c = 0;
    while (c < kClasses && !SameText(cls, kClassCodes[c])) ++c;
    if (c == kClasses) Fault("account row of an unknown class", shown());
    defined[record] = 1;
    ++definitions;
    ++rows[c].checked;
    if (Is(outcome, "migrated") || Is(outcome, "amended")) {
      ++rows[c].migrated;
    } else if (!Is(outcome, "not migrated")) {
      Fault("definition row with an unknown outcome", shown());
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
