#include "tools/ctf_description.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "admsa_tab.h"
#include "qrlnt/ctf_image.h"
#include "tools/ctf_fields.h"

namespace ctfdesc {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The table whose key character c is, or -1.
int TableOfKey(char c) {
  if (c == '\0') return -1;
  const char* at = std::strchr(TablChars, c);
  return at != nullptr ? static_cast<int>(at - TablChars) : -1;
}

// Splits a line into tokens at blanks; quoted text keeps its blanks and its '#',
// and '#' anywhere else starts a comment.
bool Tokenize(const std::string& line, std::vector<std::string>* tokens, std::string* error) {
  size_t i = 0;
  const size_t n = line.size();
  for (;;) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n || line[i] == '#') return true;
    std::string token;
    while (i < n && !IsBlank(line[i]) && line[i] != '#') {
      const char c = line[i++];
      token.push_back(c);
      if (c != '"') continue;
      bool closed = false;
      while (i < n && !closed) {
        const char q = line[i++];
        token.push_back(q);
        if (q == '\\' && i < n) {
          token.push_back(line[i++]);
        } else if (q == '"') {
          closed = true;
        }
      }
      if (!closed) {
        *error = "unterminated quoted text in '" + token + "'";
        return false;
      }
    }
    tokens->push_back(token);
  }
}

// The bytes a value stands for: quoted text with its escapes decoded, or the
// token itself.
bool DecodeText(const std::string& value, std::string* out, std::string* error) {
  out->clear();
  if (value.empty() || value[0] != '"') {
    if (value.find('"') != std::string::npos) {
      *error = "a quote may only open a value: '" + value + "'";
      return false;
    }
    *out = value;
    return true;
  }
  size_t i = 1;
  while (i < value.size()) {
    const char c = value[i++];
    if (c == '"') {
      if (i == value.size()) return true;
      *error = "text after the closing quote in '" + value + "'";
      return false;
    }
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    const char e = i < value.size() ? value[i++] : '\0';
    if (e == '\\' || e == '"') {
      out->push_back(e);
    } else if (e == 'x' && i + 1 < value.size() && HexValue(value[i]) >= 0 &&
               HexValue(value[i + 1]) >= 0) {
      out->push_back(static_cast<char>(HexValue(value[i]) * 16 + HexValue(value[i + 1])));
      i += 2;
    } else {
      *error =
          std::string("unknown escape '\\") + e + "' in '" + value + "' (use \\\\, \\\" or \\xHH)";
      return false;
    }
  }
  *error = "unterminated quoted text in '" + value + "'";
  return false;
}

bool DecodeHex(const std::string& hex, std::string* out) {
  if (hex.size() % 2 != 0) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexValue(hex[i]);
    const int lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

// A decimal number of at most max; no sign, no blanks.
bool DecodeNumber(const std::string& text, unsigned long long max, unsigned long long* value) {
  if (text.empty() || text.size() > 20) return false;
  unsigned long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (v > (max - digit) / 10) return false;
    v = v * 10 + digit;
  }
  *value = v;
  return true;
}

const Entry* FindField(const Entry* layout, int fid) {
  for (const Entry* e = layout; e->field >= 0; ++e) {
    if (e->field == fid) return e;
  }
  return nullptr;
}

// A record of table tid and len bytes before any value is given: its key, blanks,
// and zeros in numeric and bit-set fields.
std::string Canvas(int tid, int len) {
  std::string record(static_cast<size_t>(len), ' ');
  if (len > 0) record[0] = TablChars[tid];
  for (const Entry* e = LayoutOf(tid); e->field >= 0; ++e) {
    if (e->ctype == kCharField) continue;
    for (int i = e->off; i < e->off + e->len && i < len; ++i) record[static_cast<size_t>(i)] = '\0';
  }
  return record;
}

// The bytes of value for field e, filled to the field's length.
bool FieldBytes(const Entry& e, const std::string& value, std::string* bytes, std::string* error) {
  const std::string id = std::to_string(e.field);
  if (e.ctype == kNumberField) {
    const unsigned long long max = e.len >= 8 ? ~0ULL : (1ULL << (8 * e.len)) - 1;
    unsigned long long v = 0;
    if (!DecodeNumber(value, max, &v)) {
      *error = "bad number '" + value + "' for field " + id + " (0 to " + std::to_string(max) + ")";
      return false;
    }
    bytes->clear();
    for (int i = 0; i < e.len; ++i) bytes->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return true;
  }
  if (!DecodeText(value, bytes, error)) return false;
  if (bytes->size() > static_cast<size_t>(e.len)) {
    *error = "value of field " + id + " is " + std::to_string(bytes->size()) +
             " bytes long; the field holds " + std::to_string(e.len);
    return false;
  }
  bytes->resize(static_cast<size_t>(e.len), e.ctype == kCharField ? ' ' : '\0');
  return true;
}

int ParseRaw(const std::vector<std::string>& tokens, std::string* record, std::string* error) {
  record->clear();
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    std::string bytes;
    if (!t.empty() && t[0] == '"') {
      if (!DecodeText(t, &bytes, error)) return -1;
    } else if (!DecodeHex(t, &bytes)) {
      *error = "bad hex bytes '" + t + "' (pairs of hex digits)";
      return -1;
    }
    *record += bytes;
  }
  if (record->size() > static_cast<size_t>(ctf::kMaxRecordLen)) {
    *error = "record of " + std::to_string(record->size()) + " bytes; at most " +
             std::to_string(ctf::kMaxRecordLen);
    return -1;
  }
  return 1;
}

// What the items of a line of fields have given so far.
struct FieldItems {
  explicit FieldItems(int table) : tid(table), len(RawLengthNeeded(table)) {}

  int tid;
  int len;  // the record length: the layout's, or the one len= gives
  bool len_given = false;
  std::vector<std::pair<const Entry*, std::string>> fields;  // each with its bytes
  std::vector<std::pair<int, std::string>> patches;          // bytes by raw offset
  std::set<int> given;                                       // field ids given
};

// Each handler takes one item and returns whether it is sound; *error says why not.

// len=VALUE
bool LengthItem(const std::string& value, FieldItems* items, std::string* error) {
  unsigned long long n = 0;
  if (items->len_given) {
    *error = "len given twice";
    return false;
  }
  if (!DecodeNumber(value, ctf::kMaxRecordLen, &n) || n == 0) {
    *error = "bad record length '" + value + "' (1 to " + std::to_string(ctf::kMaxRecordLen) + ")";
    return false;
  }
  items->len = static_cast<int>(n);
  items->len_given = true;
  return true;
}

// @OFFSET=HEX, the whole item being item.
bool PatchItem(const std::string& item, const std::string& offset, const std::string& value,
               FieldItems* items, std::string* error) {
  unsigned long long n = 0;
  if (!DecodeNumber(offset, ctf::kMaxRecordLen, &n) || n == 0) {
    *error = "bad offset in '" + item + "' (1 to " + std::to_string(ctf::kMaxRecordLen - 1) + ")";
    return false;
  }
  std::string bytes;
  if (value.empty() || !DecodeHex(value, &bytes)) {
    *error = "bad hex bytes in '" + item + "' (pairs of hex digits)";
    return false;
  }
  items->patches.emplace_back(static_cast<int>(n), bytes);
  return true;
}

// FIELD=VALUE: a field is named by its id, or by the one attribute the
// translation makes of it.
bool FieldItem(const std::string& name, const std::string& value, FieldItems* items,
               std::string* error) {
  const int tid = items->tid;
  int fid = -1;
  unsigned long long n = 0;
  if (DecodeNumber(name, 1u << 30, &n)) {
    fid = static_cast<int>(n);
  } else if (ctffields::FieldOfName(tid, name, &fid, error) < 0) {
    return false;
  }
  const Entry* e = fid >= 0 ? FindField(LayoutOf(tid), fid) : nullptr;
  if (e == nullptr) {
    *error = "'" + name + "' is not a field of the " + TablChars[tid] +
             " record layout (a field id or an attribute name: ctfimage fields " + TablChars[tid] +
             ")";
    return false;
  }
  if (!items->given.insert(e->field).second) {
    *error = "field " + name + " given twice";
    return false;
  }
  std::string bytes;
  if (!FieldBytes(*e, value, &bytes, error)) return false;
  items->fields.emplace_back(e, bytes);
  return true;
}

bool Item(const std::string& item, FieldItems* items, std::string* error) {
  const size_t eq = item.find('=');
  if (eq == std::string::npos || eq == 0) {
    *error = "expected FIELD=VALUE, len=N or @OFFSET=HEX, not '" + item + "'";
    return false;
  }
  const std::string name = item.substr(0, eq);
  const std::string value = item.substr(eq + 1);
  if (name == "len") return LengthItem(value, items, error);
  if (name[0] == '@') return PatchItem(item, name.substr(1), value, items, error);
  return FieldItem(name, value, items, error);
}

// The record the items describe: the blank record of its length, the fields,
// then the patches.
bool Assemble(const FieldItems& items, std::string* record, std::string* error) {
  const int len = items.len;
  *record = Canvas(items.tid, len);
  for (const auto& f : items.fields) {
    const Entry& e = *f.first;
    if (e.off + e.len > len) {
      *error = "field " + std::to_string(e.field) + " (raw bytes " + std::to_string(e.off) +
               " to " + std::to_string(e.off + e.len - 1) + ") lies beyond the record length " +
               std::to_string(len);
      return false;
    }
    record->replace(static_cast<size_t>(e.off), f.second.size(), f.second);
  }
  for (const auto& p : items.patches) {
    const size_t end = static_cast<size_t>(p.first) + p.second.size();
    if (end > static_cast<size_t>(len)) {
      *error = "@" + std::to_string(p.first) + ": " + std::to_string(p.second.size()) +
               " bytes run past the record length " + std::to_string(len);
      return false;
    }
    record->replace(static_cast<size_t>(p.first), p.second.size(), p.second);
  }
  return true;
}

int ParseFields(int tid, const std::vector<std::string>& tokens, std::string* record,
                std::string* error) {
  FieldItems items(tid);
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (!Item(tokens[i], &items, error)) return -1;
  }
  return Assemble(items, record, error) ? 1 : -1;
}

std::string Hex(const std::string& bytes, size_t from, size_t count) {
  std::string out;
  for (size_t i = from; i < from + count; ++i) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    out.push_back(kHexDigits[b >> 4]);
    out.push_back(kHexDigits[b & 0x0F]);
  }
  return out;
}

// Text as it goes into a description: as it stands when it is plain, otherwise
// quoted with escapes.
std::string EncodeText(const std::string& text) {
  bool plain = !text.empty();
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b <= ' ' || b > '~' || c == '"' || c == '#' || c == '\\') plain = false;
  }
  if (plain) return text;
  std::string out = "\"";
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (b < ' ' || b > '~') {
      out += "\\x";
      out.push_back(kHexDigits[b >> 4]);
      out.push_back(kHexDigits[b & 0x0F]);
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

std::string EncodeField(const Entry& e, std::string bytes) {
  if (e.ctype == kNumberField) {
    unsigned long long v = 0;
    for (int i = e.len - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
    return std::to_string(v);
  }
  const char fill = e.ctype == kCharField ? ' ' : '\0';
  while (!bytes.empty() && bytes.back() == fill) bytes.pop_back();
  return EncodeText(bytes);
}

// Each field of table tid once, by the first entry of its id and of its bytes.
const std::vector<const Entry*>& DistinctFields(int tid) {
  static std::vector<const Entry*> cache[LASTid];
  static bool made[LASTid];
  if (!made[tid]) {
    std::set<int> ids;
    std::set<std::pair<int, int>> spans;
    for (const Entry* e = LayoutOf(tid); e->field >= 0; ++e) {
      if (ids.insert(e->field).second && spans.insert({e->off, e->len}).second) {
        cache[tid].push_back(e);
      }
    }
    made[tid] = true;
  }
  return cache[tid];
}

std::string FormatRaw(const std::string& record) {
  std::string line = "raw";
  for (size_t i = 0; i < record.size(); i += 16) {
    line += ' ';
    line += Hex(record, i, std::min<size_t>(16, record.size() - i));
  }
  return line;
}

}  // namespace

int ParseLine(const std::string& line, std::string* record, std::string* error) {
  std::vector<std::string> tokens;
  if (!Tokenize(line, &tokens, error)) return -1;
  if (tokens.empty()) return 0;
  if (tokens[0] == "raw") return ParseRaw(tokens, record, error);
  const int tid = tokens[0].size() == 1 ? TableOfKey(tokens[0][0]) : -1;
  if (tid < 0) {
    *error = "unknown record key '" + tokens[0] + "' (keys " + TablChars +
             "; write records of other keys with raw)";
    return -1;
  }
  return ParseFields(tid, tokens, record, error);
}

std::string FormatRecord(const std::string& record) {
  const int tid = record.empty() ? -1 : TableOfKey(record[0]);
  if (tid < 0) return FormatRaw(record);
  const int len = static_cast<int>(record.size());

  std::vector<const Entry*> entries;
  for (const Entry* e : DistinctFields(tid)) {
    if (e->off + e->len <= len) entries.push_back(e);
  }
  // Decided from the last field back: a field whose bytes come out right
  // anyway, from the fields after it or from the blank record, is left out, so
  // that overlapping fields do not show the same bytes twice.
  std::string rebuilt = Canvas(tid, len);
  std::vector<bool> shown(entries.size(), false);
  for (size_t k = entries.size(); k-- > 0;) {
    const Entry& e = *entries[k];
    const size_t off = static_cast<size_t>(e.off);
    const size_t n = static_cast<size_t>(e.len);
    if (rebuilt.compare(off, n, record, off, n) == 0) continue;
    rebuilt.replace(off, n, record, off, n);
    shown[k] = true;
  }

  std::string line(1, record[0]);
  if (len != RawLengthNeeded(tid)) line += " len=" + std::to_string(len);
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!shown[k]) continue;
    const Entry& e = *entries[k];
    line += " " + std::to_string(e.field) + "=" +
            EncodeField(e, record.substr(static_cast<size_t>(e.off), static_cast<size_t>(e.len)));
  }

  // Bytes that no field holds go out as they are.
  std::string check;
  std::string error;
  if (ParseLine(line, &check, &error) != 1 || check.size() != record.size()) {
    return FormatRaw(record);
  }
  for (size_t i = 0; i < record.size();) {
    if (check[i] == record[i]) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < record.size() && check[end] != record[end]) ++end;
    line += " @" + std::to_string(i) + "=" + Hex(record, i, end - i);
    i = end;
  }
  return line;
}

}  // namespace ctfdesc
