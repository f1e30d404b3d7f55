#include "tools/ctf_fields.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "admsa_conv.h"
#include "admsa_tab.h"

namespace ctffields {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

const Entry* FirstEntry(const Entry* layout, int fid) {
  for (const Entry* e = layout; e != nullptr && e->field >= 0; ++e) {
    if (e->field == fid) return e;
  }
  return nullptr;
}

// The field of the layout of table data whose bytes hold those of field fid of
// the layout of table names, found as the translation finds it: the first entry
// whose raw bytes cover the other's. -1 when there is none.
int HoldingField(int names, int data, int fid) {
  if (names == data) return FirstEntry(LayoutOf(data), fid) != nullptr ? fid : -1;
  const Entry* one = FirstEntry(LayoutOf(names), fid);
  if (one == nullptr) return -1;
  for (const Entry* two = LayoutOf(data); two != nullptr && two->field >= 0; ++two) {
    if (one->off >= two->off && one->off + one->len <= two->off + two->len) return two->field;
  }
  return -1;
}

bool GivesNothing(const MapEntry& m) {
  return m.kind == MapEntry::kAction &&
         (m.action == kDrop || m.action == kReject || m.action == kClearReject);
}

// Whether a rule's mapping can never give a value: then it only drops the
// attribute or decides whether the record gives a definition.
bool FilterOnly(const Mapping& m) {
  if (m.kind == Mapping::kValueMap && m.vmap != nullptr) {
    for (const MapEntry& e : m.vmap->e) {
      if (!GivesNothing(e)) return false;
    }
    return true;
  }
  if (m.kind == Mapping::kRangeMap && m.rmap != nullptr) {
    for (const RangeEntry& e : m.rmap->e) {
      if (!GivesNothing(e.str)) return false;
      if (e.to < e.from) break;
    }
    return true;
  }
  return false;
}

std::string Pad(const std::string& text, size_t width, bool right) {
  if (text.size() >= width) return text;
  const std::string fill(width - text.size(), ' ');
  return right ? fill + text : text + fill;
}

// A code as a description would write it.
std::string ShowCode(const char* code, int len) {
  bool plain = true;
  for (int i = 0; i < len; ++i) {
    const unsigned char b = static_cast<unsigned char>(code[i]);
    if (b <= ' ' || b > '~' || b == '"' || b == '#' || b == '\\') plain = false;
  }
  if (plain) return std::string(code, static_cast<size_t>(len));
  std::string out = "\"";
  for (int i = 0; i < len; ++i) {
    const unsigned char b = static_cast<unsigned char>(code[i]);
    if (b == '"' || b == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(b));
    } else if (b < ' ' || b > '~') {
      out += "\\x";
      out.push_back(kHexDigits[b >> 4]);
      out.push_back(kHexDigits[b & 0x0F]);
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return out + "\"";
}

std::string Codes(const Entry& e) {
  std::string out;
  if (e.len < 1) return out;
  for (const char* code = e.perm; code[0] != '\0'; code += e.len) {
    if (!out.empty()) out += ' ';
    out += ShowCode(code, e.len);
  }
  return out;
}

const char* TypeName(int ctype) {
  if (ctype == kNumberField) return "number";
  if (ctype == kBitsField) return "bits";
  return "text";
}

std::string ShowUse(const FieldUse& u, int tid) {
  std::string out = ResTypeArr[u.cls];
  out += ' ';
  if (u.filter) {
    out += "filter";
  } else {
    out += prednames[u.pred];
    if (u.spread) out += std::string(" (to every ") + ResTypeArr[u.cls] + " before it)";
  }
  if (u.via_table != tid) {
    out += std::string(" (") + TablChars[u.via_table] + " " + std::to_string(u.via_field) + ")";
  }
  return out;
}

}  // namespace

std::vector<FieldUse> UsesOf(int tid) {
  std::vector<FieldUse> uses;
  for (const TTableRow* row = TTable; row->trans != nullptr; ++row) {
    if (row->sdtab != tid) continue;
    for (const DirFieldTrans* r = row->trans; r->sfield != kEndField; ++r) {
      if (r->sfield == kConstantField) continue;
      const int field = HoldingField(row->sftab, row->sdtab, r->sfield);
      if (field < 0) continue;
      FieldUse u;
      u.field = field;
      u.cls = r->dstanid;
      u.pred = r->dpred;
      u.filter = FilterOnly(r->mapping);
      u.spread = r->mapping.kind == Mapping::kKind && r->mapping.code == kSpread;
      u.via_table = row->sftab;
      u.via_field = r->sfield;
      // Rule sets that differ only in their filters make the same attribute.
      bool known = false;
      for (const FieldUse& k : uses) {
        known = known ||
                (k.field == u.field && k.cls == u.cls && k.pred == u.pred && k.filter == u.filter &&
                 k.spread == u.spread && k.via_table == u.via_table && k.via_field == u.via_field);
      }
      if (!known) uses.push_back(u);
    }
  }
  return uses;
}

int FieldOfName(int tid, const std::string& name, int* field, std::string* error) {
  std::set<int> fields;
  for (const FieldUse& u : UsesOf(tid)) {
    if (!u.filter && name == prednames[u.pred]) fields.insert(u.field);
  }
  if (fields.empty()) return 0;
  if (fields.size() == 1) {
    *field = *fields.begin();
    return 1;
  }
  std::string ids;
  for (int f : fields) ids += (ids.empty() ? "" : ", ") + std::to_string(f);
  *error = "'" + name + "' names several fields of the " + TablChars[tid] + " record layout (" +
           ids + "); give the field id";
  return -1;
}

std::string Listing(int tid) {
  const Entry* layout = LayoutOf(tid);
  if (layout == nullptr) return "";
  const std::vector<FieldUse> uses = UsesOf(tid);
  std::string out;
  out += std::string(1, TablChars[tid]) + "  " + TableName[tid] + "\n";
  out += "   raw records of " + std::to_string(RawLengthNeeded(tid)) +
         " bytes; byte 0 is the key character\n";

  std::set<int> others;
  bool translated = false;
  for (const TTableRow* row = TTable; row->trans != nullptr; ++row) {
    if (row->sdtab != tid) continue;
    translated = true;
    if (row->sftab != tid) others.insert(row->sftab);
  }
  if (!translated) out += "   no rule translates the records of this table\n";
  for (int other : others) {
    out += std::string("   some rules read these records by the ") + TablChars[other] +
           " layout; their fields are shown as (" + TablChars[other] + " FIELD)\n";
  }

  out += "   field  offset  length  type    range      codes / attributes\n";
  std::set<int> listed;
  for (const Entry* e = layout; e->field >= 0; ++e) {
    if (!listed.insert(e->field).second) continue;
    std::string range;
    if (e->start != 0 || e->end != 0) {
      range = std::to_string(e->start) + "-" + std::to_string(e->end);
    }
    std::string line = "   " + Pad(std::to_string(e->field), 5, true) + "  " +
                       Pad(std::to_string(e->off), 6, true) + "  " +
                       Pad(std::to_string(e->len), 6, true) + "  " +
                       Pad(TypeName(e->ctype), 6, false) + "  " + Pad(range, 9, false);
    const std::string codes = Codes(*e);
    if (!codes.empty()) line += "  codes " + codes;
    std::string attributes;
    for (const FieldUse& u : uses) {
      if (u.field != e->field) continue;
      attributes += (attributes.empty() ? "" : ", ") + ShowUse(u, tid);
    }
    if (!attributes.empty()) line += "  -> " + attributes;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }

  std::string constants;
  for (const TTableRow* row = TTable; row->trans != nullptr; ++row) {
    if (row->sdtab != tid) continue;
    for (const DirFieldTrans* r = row->trans; r->sfield != kEndField; ++r) {
      if (r->sfield != kConstantField) continue;
      constants += std::string(constants.empty() ? "" : ", ") + ResTypeArr[r->dstanid] + " " +
                   prednames[r->dpred] + "=\"" + r->mapping.text + "\"";
    }
  }
  if (!constants.empty()) out += "   set without a field: " + constants + "\n";
  return out;
}

int FieldsCommand(const char* key) {
  int only = -1;
  if (key != nullptr) {
    const char* at = std::strlen(key) == 1 ? std::strchr(TablChars, key[0]) : nullptr;
    if (at == nullptr) {
      std::fprintf(stderr, "ctfimage: unknown record key '%s' (keys %s)\n", key, TablChars);
      return 1;
    }
    only = static_cast<int>(at - TablChars);
  }
  std::string out;
  if (only < 0) {
    out += "Classes:";
    for (int c = 0; ResTypeArr[c][0] != '\0'; ++c) {
      out += std::string(c == 0 ? " " : ", ") + ResTypeArr[c] + " " + StanzaName[c];
    }
    out += "\n";
  }
  for (int tid = 0; LayoutOf(tid) != nullptr; ++tid) {
    if (only >= 0 && tid != only) continue;
    out += "\n" + Listing(tid);
  }
  std::fputs(out.c_str(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "ctfimage: standard output: write error\n");
    return 1;
  }
  return 0;
}

}  // namespace ctffields
