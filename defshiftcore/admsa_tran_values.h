// The value conversions of the translation: how the bytes of one source field
// become the text of an attribute, apart from any rule or record. Each is a pure
// function of its inputs; the translation pass (admsa_tran_engine.cpp) decides
// which one a rule asks for.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_VALUES_H_
#define DEFSHIFTCORE_ADMSA_TRAN_VALUES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "admsa_conv.h"
#include "admsa_tab.h"

// The bytes of one field of a record as FieldAt copies them: len bytes and a NUL
// behind them. A field may hold NUL bytes of its own; as a text it ends at the first.
struct FieldBytes {
  unsigned char data[kMaxFieldLen + 1];
  int len = 0;

  const char* c_str() const { return reinterpret_cast<const char*>(data); }
  size_t text_len() const { return std::strlen(c_str()); }
  void text(std::string* out) const { out->assign(c_str(), text_len()); }
  std::string_view view() const { return std::string_view(c_str(), text_len()); }
};

namespace convert {

// The file's base name: the field without the extension of its last path
// component and without a leading "DATA\" (any case) that has a name behind it. A
// '.' that opens its component, or stands behind blanks only, starts a name, not
// an extension. Returns false, leaving *value as it was, when the field is all
// blank (or empty): it names no file.
bool BaseName(std::string_view field, std::string* value);

// The file name: the text after the field's last backslash, or the whole field
// when it holds none. Returns false, leaving *value as it was, when the field is
// empty or begins with a blank.
bool FileName(std::string_view field, std::string* value);

// The index, from 0, of the first code of e's code list that equals the field;
// the number of codes when none does (0 for an entry without codes). Codes are
// compared like strncmp: at most e.len characters, stopping early where either
// text ends, so a field equals a code that it matches up to both their first NUL.
int CodeIndex(const Entry& e, const FieldBytes& field);

// The value of value-map action kCutAppend: text cut at its first blank, then
// suffix, in a work area of kCutArea characters (and a terminator): the text
// takes its place first, and the suffix is cut to what remains.
constexpr size_t kCutArea = 31;
void CutAppend(const char* text, const char* suffix, std::string* value);

// The signed number held, least significant byte first, in the first min(e.len, 4)
// bytes of the field (fewer when the field holds fewer).
int32_t FieldNumber(const Entry& e, const FieldBytes& field);

// The str of the entry of map that applies to number: the first entry whose range
// holds it, or the end entry (whose to is below its from); null when the map has no
// end entry and no range holds the number.
const MapEntry* RangeStr(const RangeMap& map, int32_t number);

// n in decimal, as "%lld" writes it, into *out.
void Decimal(long long n, std::string* out);

// The operand of an arithmetic text, read like atoi (blanks, a sign, digits up to
// the first other character; 0 when there are none), but held within
// -2147483647 to 2147483647 so that no arithmetic on a field's number overflows.
long long Operand(const char* text);

// The arithmetic text instruction (":" then an operator and an operand) applied to
// number: '*', '+', '-' and '/' (truncating toward zero). An unknown or missing
// operator, and a division by zero, leave the number as it is.
long long Arithmetic(const char* instruction, int32_t number);

}  // namespace convert

#endif  // DEFSHIFTCORE_ADMSA_TRAN_VALUES_H_
