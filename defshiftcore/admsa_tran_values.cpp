#include "admsa_tran_values.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace convert {

namespace {

constexpr long long kOperandLimit = 0x7fffffffLL;

bool IsAllBlank(std::string_view s, size_t from, size_t to) {
  for (size_t i = from; i < to && i < s.size(); ++i) {
    if (s[i] != ' ') return false;
  }
  return true;
}

// Where the extension of the last path component of field starts, or the field's
// length when it has none.
size_t ExtensionStart(std::string_view field) {
  for (size_t i = field.size(); i-- > 0;) {
    // An extension belongs to the last path component; a '.' in a directory name
    // must not cut the file's name away.
    if (field[i] == '\\') break;
    if (field[i] != '.') continue;
    const size_t slash = field.rfind('\\', i);
    const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    return IsAllBlank(field, start, i) ? field.size() : i;
  }
  return field.size();
}

}  // namespace

bool BaseName(std::string_view field, std::string* value) {
  if (IsAllBlank(field, 0, field.size())) return false;
  const size_t end = ExtensionStart(field);
  // A name under DATA\ loses that directory, unless nothing but blanks follow it.
  const size_t start =
      end > 5 && strncasecmp(field.data(), "DATA\\", 5) == 0 && !IsAllBlank(field, 5, end) ? 5 : 0;
  value->assign(field.data() + start, end - start);
  return true;
}

bool FileName(std::string_view field, std::string* value) {
  if (field.empty() || field[0] == ' ') return false;
  const size_t slash = field.rfind('\\');
  const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  value->assign(field.data() + start, field.size() - start);
  return true;
}

int CodeIndex(const Entry& e, const FieldBytes& field) {
  if (e.len <= 0 || e.perm == nullptr) return 0;
  int p = 0;
  for (const char* code = e.perm; code[0] != '\0'; code += e.len, ++p) {
    bool same = true;
    for (int k = 0; k < e.len && same; ++k) {
      const char a = code[k];
      const char b = k < field.len ? static_cast<char>(field.data[k]) : '\0';
      if (a != b) same = false;
      if (a == '\0') break;
    }
    if (same) return p;
  }
  return p;
}

void CutAppend(const char* text, const char* suffix, std::string* value) {
  const size_t cut = std::min(std::strcspn(text, " "), kCutArea);
  value->assign(text, cut);
  value->append(suffix, std::min(std::strlen(suffix), kCutArea - cut));
}

int32_t FieldNumber(const Entry& e, const FieldBytes& field) {
  uint32_t n = 0;
  const int bytes = std::min(std::min(e.len, 4), field.len);
  for (int i = bytes - 1; i >= 0; --i) n = (n << 8) | field.data[i];
  return static_cast<int32_t>(n);
}

const MapEntry* RangeStr(const RangeMap& map, int32_t number) {
  for (const RangeEntry& range : map.e) {
    if (range.to < range.from || (number >= range.from && number <= range.to)) return &range.str;
  }
  return nullptr;
}

void Decimal(long long n, std::string* out) {
  char text[24];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, n);
  out->assign(text, end.ptr);
}

long long Operand(const char* text) {
  const char* s = text;
  while (*s != '\0' && std::isspace(static_cast<unsigned char>(*s))) ++s;
  const bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  long long n = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    if (n < kOperandLimit) n = n * 10 + (*s - '0');
  }
  n = std::min(n, kOperandLimit);
  return negative ? -n : n;
}

long long Arithmetic(const char* instruction, int32_t number) {
  const char op = instruction[1];
  const long long n = op != '\0' ? Operand(instruction + 2) : 0;
  switch (op) {
    case '*':
      return number * n;
    case '+':
      return number + n;
    case '-':
      return number - n;
    case '/':
      // The source value is kept rather than lost.
      return n != 0 ? number / n : number;
    default:
      return number;
  }
}

}  // namespace convert
