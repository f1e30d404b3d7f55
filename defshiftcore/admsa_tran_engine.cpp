#include "admsa_tran_engine.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "admsa_errs.h"
#include "admsa_progress.h"
#include "admsa_tab.h"
#include "admsa_tran.h"

namespace {

constexpr int kSlots = 5;          // destinations one record may feed
constexpr int kResourceLen = 20;   // CurrentResource: 19 characters and a terminator
constexpr int kCutArea = 32;       // work area of action kCutAppend
constexpr char kQuote[] = "\\\"";  // written before and after a quoted value

// The bytes of one field of a record, NUL-terminated (see FieldAt).
struct FieldBytes {
  unsigned char data[kMaxFieldLen + 1];
  int len = 0;

  // The field as a text: its bytes up to the first NUL.
  const char* c_str() const { return reinterpret_cast<const char*>(data); }
  size_t text_len() const { return std::strlen(c_str()); }
  void text(std::string* out) const { out->assign(c_str(), text_len()); }
  std::string text() const { return std::string(c_str(), text_len()); }
};

bool IsAllBlank(const std::string& s, size_t from, size_t to) {
  for (size_t i = from; i < to && i < s.size(); ++i) {
    if (s[i] != ' ') return false;
  }
  return true;
}

// The file base name: the name without its extension and without a leading "DATA\".
// Returns false when the field holds no name at all.
bool BaseName(const std::string& field, std::string* value) {
  if (IsAllBlank(field, 0, field.size())) return false;
  size_t cut = field.size();
  for (size_t i = field.size(); i-- > 0;) {
    // An extension belongs to the last path component; a '.' in a directory name
    // must not cut the file's name away.
    if (field[i] == '\\') break;
    if (field[i] == '.') {
      // A '.' that opens its component (".PROFILE", or one behind blanks) starts
      // a name rather than an extension.
      const size_t slash = field.rfind('\\', i);
      const size_t start = slash == std::string::npos ? 0 : slash + 1;
      if (!IsAllBlank(field, start, i)) cut = i;
      break;
    }
  }
  std::string name = field.substr(0, cut);
  if (name.size() > 5 && strncasecmp(name.c_str(), "DATA\\", 5) == 0 &&
      !IsAllBlank(name, 5, name.size())) {
    name.erase(0, 5);
  }
  *value = name;
  return true;
}

// The file name: the text after the last backslash, or the whole field when it
// names no directory. A field that begins with a blank holds no file name.
bool FileName(const std::string& field, std::string* value) {
  if (field.empty() || field[0] == ' ') return false;
  const size_t slash = field.rfind('\\');
  *value = slash == std::string::npos ? field : field.substr(slash + 1);
  return true;
}

// The index of the first code of the field's code list that equals the field, or
// the number of codes when none does. Codes are compared like strncmp: at most len
// characters, stopping early where either text ends.
int CodeIndex(const Entry& e, const FieldBytes& f) {
  if (e.len <= 0 || e.perm == nullptr) return 0;
  int p = 0;
  for (const char* code = e.perm; code[0] != '\0'; code += e.len, ++p) {
    bool same = true;
    for (int k = 0; k < e.len; ++k) {
      const char a = code[k];
      const char b = k < f.len ? static_cast<char>(f.data[k]) : '\0';
      if (a != b) {
        same = false;
        break;
      }
      if (a == '\0') break;
    }
    if (same) return p;
  }
  return p;
}

// The little-endian number held in the first min(len, 4) bytes of the field.
int32_t FieldNumber(const Entry& e, const FieldBytes& f) {
  uint32_t n = 0;
  const int bytes = std::min(std::min(e.len, 4), f.len);
  for (int i = bytes - 1; i >= 0; --i) n = (n << 8) | f.data[i];
  return static_cast<int32_t>(n);
}

// n in decimal into *out, as "%lld" writes it.
void Decimal(long long n, std::string* out) {
  char text[24];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, n);
  out->assign(text, end.ptr);
}

// The operand of an arithmetic text: like atoi, but clamped so that no input can
// overflow the arithmetic that follows.
long long Operand(const char* s) {
  while (*s != '\0' && std::isspace(static_cast<unsigned char>(*s))) ++s;
  const bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  long long n = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    if (n < 0x7fffffffLL) n = n * 10 + (*s - '0');
  }
  if (n > 0x7fffffffLL) n = 0x7fffffffLL;
  return negative ? -n : n;
}

// ":<op><operand>" applied to number. A division by zero leaves the number as it is,
// as an unknown operator does: the source value is kept rather than lost.
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
      return n != 0 ? number / n : number;
    default:
      return number;
  }
}

void Discard(ListBP* definition) {
  for (int i = 1; BPair* pair = definition->get(i); ++i) delete pair;
  delete definition;
}

// One translation pass. CurrentResource outlives records and rule sets: it holds
// the last key taken, which a password rule later in the same set reuses.
class Pass {
 public:
  explicit Pass(Forcfg* out) : out_(out) {
    std::memset(CurrentResource, 0, sizeof CurrentResource);
  }

  void Run(const TTableRow* table, const Config* conf) {
    for (const TTableRow* row = table; row->trans != nullptr; ++row) {
      const int sftab = row->sftab;
      Error.Report("\n Translating source table: %s",
                   sftab >= 0 && sftab < kTableNames ? TableName[sftab] : "");
      if (row->sdtab < 0 || row->sdtab >= Config::kTables) continue;
      size_t rules = 0;
      while (row->trans[rules].sfield != kEndField) ++rules;
      located_.assign(rules, Located{});
      other_.assign(rules, Located{});
      const ListR& records = conf->tab[row->sdtab];
      for (int i = 1; const Rec* rec = records.get(i); ++i) Record(*row, *rec);
    }
  }

 private:
  struct Slot {
    ListBP* curl = nullptr;  // made when the slot takes its first pair
    int dstz = -1;
    std::vector<std::pair<int, BPair*>> pairs;  // the pairs of curl in order, by NameKey
  };

  // Where a field lies in the records of the running rule set, once found.
  struct Located {
    const Entry* e = nullptr;
    int pos = 0;
  };

  // kMismatch: the rule pairs the field with a mapping meant for another type.
  enum Outcome { kKeep, kDropped, kMismatch };

  void Record(const TTableRow& row, const Rec& rec) {
    coffin_ = 0;
    for (int j = 0; row.trans[j].sfield != kEndField; ++j) {
      if (!Rule(row, rec, row.trans[j], j)) break;
    }
    for (Slot& slot : curls_) {
      if (slot.curl != nullptr) {
        if (coffin_ == 0 && slot.dstz >= 0 && !slot.pairs.empty()) {
          out_->add(slot.dstz, slot.curl);
          progress::Count(progress::kTranslated);
        } else {
          Discard(slot.curl);
        }
      }
      slot.curl = nullptr;
      slot.dstz = -1;
      slot.pairs.clear();
    }
  }

  // Reads field fid of rec, through the layouts of the running rule set, into
  // *out; false when the field cannot be located (already reported). Every record
  // of a rule set is packed by the same layout, so the first lookup that finds the
  // field keeps its place in *at; a failing lookup is made, and reported, again
  // for every record.
  static bool Read(const TTableRow& row, const Rec& rec, int fid, Located* at, FieldBytes* out) {
    if (at->e == nullptr) {
      const std::unique_ptr<Buffer> buffer(rec.field(row.sftab, row.sdtab, fid));
      if (buffer->len() == 0) return false;
      int pos = 0;
      at->e = Rec::formatp(row.sftab, row.sdtab, fid, &pos);
      at->pos = pos;
      if (at->e == nullptr) return false;
    }
    out->len = FieldAt(*at->e, rec.data(), rec.len(), at->pos, out->data);
    return true;
  }

  // Applies rule j; false when the record's rules must end (its field is missing
  // from the layout, which rejects the record).
  bool Rule(const TTableRow& row, const Rec& rec, const DirFieldTrans& r, int j) {
    // One value area for every rule: a long value reuses the storage of the last.
    std::string* value = &value_;
    if (r.sfield == kConstantField) {
      value->assign(r.mapping.text != nullptr ? r.mapping.text : "");
      Finish(r, j, value);
      return true;
    }
    Located* at = &located_[static_cast<size_t>(j)];
    if (at->e == nullptr && Rec::format(row.sftab, r.sfield) == nullptr) {
      coffin_ = 1;
      return false;
    }
    FieldBytes field;
    // A field that the record cannot give has been reported; the record keeps its
    // other attributes.
    if (!Read(row, rec, r.sfield, at, &field)) return true;
    const Entry* e = at->e;

    value->clear();
    Outcome outcome = kMismatch;
    if (e->ctype == kCharField) {
      outcome = Characters(row, rec, r, j, *e, field, value);
    } else if (e->ctype == kNumberField) {
      outcome = Number(r, *e, field, value);
    }
    if (outcome == kMismatch) Error.Report(38, e->ctype, j);
    if (outcome != kKeep) return true;

    if (r.mapping.kind == Mapping::kKind && r.mapping.code == kSpread) {
      Spread(r, *value);
    } else {
      Finish(r, j, value);
    }
    return true;
  }

  Outcome Characters(const TTableRow& row, const Rec& rec, const DirFieldTrans& r, int j,
                     const Entry& e, const FieldBytes& field, std::string* value) {
    const Mapping& m = r.mapping;
    if (m.kind == Mapping::kKind) {
      switch (m.code) {
        case kCopy:
        case kSpread:
          field.text(value);
          return kKeep;
        case kBaseName:
          return BaseName(field.text(), value) ? kKeep : kDropped;
        case kFileName:
          return FileName(field.text(), value) ? kKeep : kDropped;
        case kPasswordReset:
          Error.Report("      > Password for %s reset to %s", CurrentResource, CurrentResource);
          *value = CurrentResource;
          return kKeep;
        default:
          return kMismatch;
      }
    }
    if (m.kind != Mapping::kValueMap || m.vmap == nullptr) return kMismatch;

    const int p = CodeIndex(e, field);
    if (p >= kMapEntries) return kDropped;
    const MapEntry& entry = m.vmap->e[p];
    if (entry.kind == MapEntry::kText) {
      *value = entry.text;
      return kKeep;
    }
    switch (entry.action) {
      case kCopyValue:
        field.text(value);
        return kKeep;
      case kOtherField: {
        FieldBytes second;
        if (!Read(row, rec, r.othersf, &other_[static_cast<size_t>(j)], &second)) return kDropped;
        second.text(value);
        return kKeep;
      }
      case kCutAppend: {
        char area[kCutArea];
        const size_t taken = std::min(field.text_len(), sizeof area - 1);
        std::memcpy(area, field.c_str(), taken);
        area[taken] = '\0';
        if (char* blank = std::strchr(area, ' ')) *blank = '\0';
        const MapEntry* next = p + 1 < kMapEntries ? &m.vmap->e[p + 1] : nullptr;
        if (next != nullptr && next->kind == MapEntry::kText) {
          const size_t used = std::strlen(area);
          std::snprintf(area + used, sizeof area - used, "%s", next->text);
        }
        *value = area;
        return kKeep;
      }
      default:
        return Drop(entry.action);
    }
  }

  // The actions that give no value: the attribute is dropped, and the record is
  // rejected or its rejection cleared.
  Outcome Drop(int action) {
    if (action == kReject) coffin_ = 1;
    if (action == kClearReject) coffin_ = 0;
    return kDropped;
  }

  Outcome Number(const DirFieldTrans& r, const Entry& e, const FieldBytes& field,
                 std::string* value) {
    const int32_t number = FieldNumber(e, field);
    const Mapping& m = r.mapping;
    if (m.kind == Mapping::kKind && (m.code == kCopy || m.code == kSpread)) {
      Decimal(number, value);
      return kKeep;
    }
    if (m.kind != Mapping::kRangeMap || m.rmap == nullptr) return kMismatch;
    for (const RangeEntry& range : m.rmap->e) {
      if (range.to >= range.from && (number < range.from || number > range.to)) continue;
      const MapEntry& str = range.str;
      if (str.kind == MapEntry::kText) {
        if (str.text[0] == ':') {
          Decimal(Arithmetic(str.text, number), value);
        } else {
          value->assign(str.text);
        }
        return kKeep;
      }
      if (str.action == kCopyValue) {
        Decimal(number, value);
        return kKeep;
      }
      return Drop(str.action);
    }
    return kDropped;
  }

  // Adds the value, as it stands, to every definition of the class committed so far.
  void Spread(const DirFieldTrans& r, const std::string& value) {
    if (r.dstanid < 0 || r.dstanid >= Forcfg::kClasses) return;
    const char* name = PredName(r.dpred);
    const ListLP& definitions = out_->stz[r.dstanid];
    for (int i = 1; ListBP* definition = definitions.get(i); ++i) {
      BPair* pair = new BPair;
      pair->one.setstr(name);
      pair->two.setstr(value.c_str());
      definition->add(pair);
    }
  }

  void Finish(const DirFieldTrans& r, int j, std::string* value) {
    if (r.dpred == kKeyPred) {
      Error.Report(" .... resource '%s' processed", value->c_str());
      std::memset(CurrentResource, 0, sizeof CurrentResource);
      const size_t n = std::strlen(value->c_str());
      std::memcpy(CurrentResource, value->c_str(), std::min(n, sizeof CurrentResource - 1));
    }
    const size_t kept = value->find_last_not_of(' ');
    value->erase(kept == std::string::npos ? 0 : kept + 1);
    if (NeedsQuotes(r.dpred) == 1) {
      value->insert(0, kQuote);
      value->append(kQuote);
    }
    Place(r, j, *value);
  }

  void Place(const DirFieldTrans& r, int j, const std::string& value) {
    const int key = NameKey(r.dpred);
    for (Slot& slot : curls_) {
      if (slot.dstz != r.dstanid && slot.dstz != -1) continue;
      if (slot.curl == nullptr) slot.curl = new ListBP;
      if (slot.dstz == r.dstanid) {
        for (const std::pair<int, BPair*>& placed : slot.pairs) {
          if (placed.first != key) continue;
          BPair* pair = placed.second;
          const char join[2] = {static_cast<char>(r.othersf & 0xff), '\0'};
          if (join[0] != '\0') pair->two.constr(join);
          pair->two.constr(value.c_str());
          return;
        }
      } else {
        slot.dstz = r.dstanid;
      }
      BPair* pair = new BPair;
      pair->one.setstr(PredName(r.dpred));
      // A value never holds a NUL: it is made of texts.
      pair->two.setto(value.c_str(), static_cast<int>(value.size()) + 1);
      slot.curl->add(pair);
      slot.pairs.emplace_back(key, pair);
      return;
    }
    Error.Report(37, j);
  }

  Forcfg* out_;
  Slot curls_[kSlots];
  std::vector<Located> located_;  // by rule of the running rule set: its field
  std::vector<Located> other_;    // and its othersf field
  std::string value_;
  int coffin_ = 0;
  char CurrentResource[kResourceLen];
};

}  // namespace

void TranslateRules(const TTableRow* table, const Config* conf, Forcfg* out) {
  if (table == nullptr || conf == nullptr || out == nullptr) return;
  Pass(out).Run(table, conf);
}

Forcfg::Forcfg(const Config* conf) { TranslateRules(TTable, conf, this); }

