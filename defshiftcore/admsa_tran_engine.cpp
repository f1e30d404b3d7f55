#include "admsa_tran_engine.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "admsa_account.h"
#include "admsa_errs.h"
#include "admsa_progress.h"
#include "admsa_tab.h"
#include "admsa_tran_values.h"

namespace {

constexpr int kSlots = 5;           // destinations one record may feed
constexpr int kResourceLen = 20;    // CurrentResource: 19 characters and a terminator
constexpr char kQuote[] = "\\\"";   // written before and after a quoted value
constexpr size_t kUsualRules = 64;  // rules of a rule set
constexpr size_t kUsualPairs = 32;  // attributes of a definition

// One translation pass. Its members hold the rule set, record and rule that it is
// applying, so that each step reads them rather than taking them along.
// CurrentResource outlives records and rule sets: it holds the last key taken,
// which a password rule later in the same set reuses.
class Pass {
 public:
  Pass(Forcfg* out, Account* account) : out_(out), account_(account) {
    std::memset(CurrentResource, 0, sizeof CurrentResource);
    // Room for a usual rule set and definition from the start, rather than
    // growing step by step with the first records.
    located_.reserve(kUsualRules);
    other_.reserve(kUsualRules);
    texts_.reserve(kUsualPairs);
  }

  // Runs the rule sets of table over the records of conf. When spent is conf
  // itself, the records of each table are released once no later rule set reads
  // them.
  void Run(const TTableRow* table, const Config* conf, Config* spent) {
    for (row_ = table; row_->trans != nullptr; ++row_) {
      const int sftab = row_->sftab;
      Error.Report("\n Translating source table: %s",
                   sftab >= 0 && sftab < kTableNames ? TableName[sftab] : "");
      if (row_->sdtab < 0 || row_->sdtab >= Config::kTables) continue;
      size_t rules = 0;
      while (row_->trans[rules].sfield != kEndField) ++rules;
      located_.assign(rules, Located{});
      other_.assign(rules, Located{});
      const ListR& records = conf->tab[row_->sdtab];
      for (index_ = 1; (rec_ = records.get(index_)) != nullptr; ++index_) Record();
      if (ReadLater(row_ + 1, row_->sdtab)) continue;
      if (account_ != nullptr) account_->TableDone(row_->sdtab);
      if (spent != nullptr) spent->Release(row_->sdtab);
    }
  }

 private:
  // An attribute of the definition a slot is building.
  struct Pending {
    int key = 0;            // NameKey of the name
    const char* name = "";  // the prednames name
    std::string value;
  };

  // The definition one destination class of the running record is building. It
  // is made in the Forcfg's store only when its record is committed, so that a
  // rejected record leaves nothing behind there. The pending attributes keep
  // their storage from record to record.
  struct Slot {
    int dstz = -1;                 // the class; -1 while the slot is free
    uint16_t fates = 0;            // Fate bits of the definition, for the account
    size_t used = 0;               // pending attributes of the running record
    std::vector<Pending> pending;  // the attributes in order; the first used are set

    // The attribute whose name has NameKey key, or null.
    Pending* Find(int key) {
      for (size_t i = 0; i < used; ++i) {
        if (pending[i].key == key) return &pending[i];
      }
      return nullptr;
    }
    // A new attribute at the end, its storage reused where there is some.
    Pending* Add() {
      if (used == pending.size()) {
        if (pending.empty()) pending.reserve(kUsualPairs);
        pending.emplace_back();
      }
      return &pending[used++];
    }
  };

  // Where a field lies in the records of the running rule set, once found.
  struct Located {
    const Entry* e = nullptr;
    int pos = 0;
  };

  // kMismatch: the rule pairs the field with a mapping meant for another type.
  enum Outcome { kKeep, kDropped, kMismatch };

  // Applies every rule of the set to the record, then commits its definitions.
  void Record() {
    coffin_ = 0;
    for (j_ = 0; row_->trans[j_].sfield != kEndField; ++j_) {
      rule_ = &row_->trans[j_];
      if (!Rule()) break;
    }
    for (Slot& slot : curls_) {
      if (coffin_ == 0 && slot.dstz >= 0 && slot.used > 0) Commit(slot);
      slot.dstz = -1;
      slot.used = 0;
      slot.fates = 0;
    }
  }

  void Commit(const Slot& slot) {
    texts_.clear();
    for (size_t i = 0; i < slot.used; ++i) {
      const Pending& p = slot.pending[i];
      texts_.push_back({p.name, p.value.data(), p.value.size()});
    }
    out_->add(slot.dstz, out_->NewDefinition(texts_.data(), static_cast<int>(texts_.size())));
    if (account_ != nullptr) account_->Committed(row_->sdtab, index_, slot.dstz, slot.fates);
    progress::Count(progress::kTranslated);
  }

  // Whether a rule set from row on reads the records of table sdtab.
  static bool ReadLater(const TTableRow* row, int sdtab) {
    for (; row->trans != nullptr; ++row) {
      if (row->sdtab == sdtab) return true;
    }
    return false;
  }

  // Reads field fid of the record, through the layouts of the running rule set,
  // into *out; false when the field cannot be located (already reported). Every
  // record of a rule set is packed by the same layout, so the first lookup that
  // finds the field keeps its place in *at; a failing lookup is made, and
  // reported, again for every record.
  bool Read(int fid, Located* at, FieldBytes* out) const {
    if (at->e == nullptr) {
      // The lookup and the report of Rec::field, without the copy of the field
      // that it hands back.
      int pos = 0;
      const Entry* e = Rec::formatp(row_->sftab, row_->sdtab, fid, &pos);
      if (e == nullptr) {
        Error.Report(0, static_cast<void*>(nullptr), "formatp failed");
        return false;
      }
      at->e = e;
      at->pos = pos;
    }
    out->len = FieldAt(*at->e, rec_->data(), rec_->len(), at->pos, out->data);
    return true;
  }

  // Applies the running rule; false when the record's rules must end (its field
  // is missing from the layout, which rejects the record).
  bool Rule() {
    const DirFieldTrans& r = *rule_;
    // One value area for every rule: a long value reuses the storage of the last.
    std::string* value = &value_;
    if (r.sfield == kConstantField) {
      value->assign(r.mapping.text != nullptr ? r.mapping.text : "");
      Finish(value);
      return true;
    }
    Located* at = &located_[static_cast<size_t>(j_)];
    if (at->e == nullptr && Rec::format(row_->sftab, r.sfield) == nullptr) {
      coffin_ = 1;
      return false;
    }
    FieldBytes field;
    // A field that the record cannot give has been reported; the record keeps its
    // other attributes.
    if (!Read(r.sfield, at, &field)) return true;
    value->clear();
    if (Form(*at->e, field, value) != kKeep) return true;
    if (r.mapping.kind == Mapping::kKind && r.mapping.code == kSpread) {
      Spread(*value);
    } else {
      Finish(value);
      if (r.mapping.kind == Mapping::kKind && r.mapping.code == kPasswordReset) {
        Slot* slot = account_ != nullptr ? SlotFor(r.dstanid) : nullptr;
        if (slot != nullptr) slot->fates |= kFatePasswordReset;
      }
    }
    return true;
  }

  // Forms the value of the field by the rule's mapping, as the field's type asks.
  Outcome Form(const Entry& e, const FieldBytes& field, std::string* value) {
    Outcome outcome = kMismatch;
    if (e.ctype == kCharField) {
      outcome = Characters(e, field, value);
    } else if (e.ctype == kNumberField) {
      outcome = Number(e, field, value);
    }
    if (outcome == kMismatch) Error.Report(38, e.ctype, j_);
    return outcome;
  }

  Outcome Characters(const Entry& e, const FieldBytes& field, std::string* value) {
    const Mapping& m = rule_->mapping;
    if (m.kind == Mapping::kValueMap && m.vmap != nullptr) return Mapped(*m.vmap, e, field, value);
    if (m.kind != Mapping::kKind) return kMismatch;
    switch (m.code) {
      case kCopy:
      case kSpread:
        field.text(value);
        return kKeep;
      case kBaseName:
        return convert::BaseName(field.view(), value) ? kKeep : kDropped;
      case kFileName:
        return convert::FileName(field.view(), value) ? kKeep : kDropped;
      case kPasswordReset:
        Error.Report("      > Password for %s reset to %s", CurrentResource, CurrentResource);
        *value = CurrentResource;
        return kKeep;
      default:
        return kMismatch;
    }
  }

  // A character field through a value map: the entry of the field's code decides.
  Outcome Mapped(const ValueMap& map, const Entry& e, const FieldBytes& field, std::string* value) {
    const int p = convert::CodeIndex(e, field);
    if (p >= kMapEntries) return kDropped;
    const MapEntry& entry = map.e[p];
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
        if (!Read(rule_->othersf, &other_[static_cast<size_t>(j_)], &second)) return kDropped;
        second.text(value);
        return kKeep;
      }
      case kCutAppend: {
        const MapEntry* next = p + 1 < kMapEntries ? &map.e[p + 1] : nullptr;
        const bool suffix = next != nullptr && next->kind == MapEntry::kText;
        convert::CutAppend(field.c_str(), suffix ? next->text : "", value);
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

  Outcome Number(const Entry& e, const FieldBytes& field, std::string* value) {
    const int32_t number = convert::FieldNumber(e, field);
    const Mapping& m = rule_->mapping;
    if (m.kind == Mapping::kKind && (m.code == kCopy || m.code == kSpread)) {
      convert::Decimal(number, value);
      return kKeep;
    }
    if (m.kind != Mapping::kRangeMap || m.rmap == nullptr) return kMismatch;
    const MapEntry* str = convert::RangeStr(*m.rmap, number);
    if (str == nullptr) return kDropped;
    if (str->kind == MapEntry::kText) {
      if (str->text[0] == ':') {
        convert::Decimal(convert::Arithmetic(str->text, number), value);
      } else {
        value->assign(str->text);
      }
      return kKeep;
    }
    if (str->action != kCopyValue) return Drop(str->action);
    convert::Decimal(number, value);
    return kKeep;
  }

  // Adds the value, as it stands, to every definition of the class committed so far.
  void Spread(const std::string& value) {
    if (rule_->dstanid < 0 || rule_->dstanid >= Forcfg::kClasses) return;
    const char* name = PredName(rule_->dpred);
    const ListLP& definitions = out_->stz[rule_->dstanid];
    for (int i = 1; ListBP* definition = definitions.get(i); ++i) {
      definition->add(out_->NewPair(name, value.c_str(), std::strlen(value.c_str())));
    }
  }

  void Finish(std::string* value) {
    if (rule_->dpred == kKeyPred) TakeKey(*value);
    const size_t kept = value->find_last_not_of(' ');
    value->erase(kept == std::string::npos ? 0 : kept + 1);
    if (NeedsQuotes(rule_->dpred) == 1) {
      value->insert(0, kQuote);
      value->append(kQuote);
    }
    Place(*value);
  }

  // The key is logged and remembered as it was read, trailing blanks included.
  void TakeKey(const std::string& key) {
    Error.Report(" .... resource '%s' processed", key.c_str());
    std::memset(CurrentResource, 0, sizeof CurrentResource);
    const size_t n = std::strlen(key.c_str());
    std::memcpy(CurrentResource, key.c_str(), std::min(n, sizeof CurrentResource - 1));
  }

  // The slot that builds the definition of class dstanid for the running record:
  // the one that holds the class, else the first free one, claimed for it; null
  // when every slot holds another class. Slots are claimed in order, so a slot of
  // the class always comes before the free ones.
  Slot* SlotFor(int dstanid) {
    for (Slot& slot : curls_) {
      if (slot.dstz == dstanid) return &slot;
      if (slot.dstz == -1) {
        slot.dstz = dstanid;
        return &slot;
      }
    }
    return nullptr;
  }

  // Adds the value to the definition of the rule's class: joined to the pair of
  // the same name, or as a new pair at its end.
  void Place(const std::string& value) {
    Slot* slot = SlotFor(rule_->dstanid);
    if (slot == nullptr) {
      Error.Report(37, j_);
      return;
    }
    const int key = NameKey(rule_->dpred);
    if (Pending* placed = slot->Find(key)) {
      const char join = static_cast<char>(rule_->othersf & 0xff);
      if (join != '\0') placed->value.push_back(join);
      // A value ends at its first NUL, as a text does.
      placed->value.append(value.c_str());
      return;
    }
    Pending* placed = slot->Add();
    placed->key = key;
    placed->name = PredName(rule_->dpred);
    placed->value.assign(value);
  }

  Forcfg* out_;
  Account* account_;                     // told what became of each record, or null
  const TTableRow* row_ = nullptr;       // the running rule set
  const Rec* rec_ = nullptr;             // the running record
  int index_ = 0;                        // its index in its table, from 1
  const DirFieldTrans* rule_ = nullptr;  // the running rule
  int j_ = 0;                            // its index in the set
  Slot curls_[kSlots];
  std::vector<Located> located_;  // by rule of the running rule set: its field
  std::vector<Located> other_;    // and its othersf field
  std::string value_;
  std::vector<Forcfg::PairText> texts_;  // the pairs of the definition being committed
  int coffin_ = 0;
  char CurrentResource[kResourceLen];
};

}  // namespace

void TranslateRules(const TTableRow* table, const Config* conf, Forcfg* out, Account* account) {
  if (table == nullptr || conf == nullptr || out == nullptr) return;
  Pass(out, account).Run(table, conf, nullptr);
}

void TranslateAndRelease(const TTableRow* table, Config* conf, Forcfg* out, Account* account) {
  if (table == nullptr || conf == nullptr || out == nullptr) return;
  Pass(out, account).Run(table, conf, conf);
}

Forcfg::Forcfg(const Config* conf) : Forcfg() { TranslateRules(TTable, conf, this); }
