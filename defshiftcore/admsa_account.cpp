#include "admsa_account.h"

#include <cerrno>
#include <cstring>
#include <iterator>

#include "admsa_conv.h"
#include "admsa_errs.h"
#include "admsa_fm_files.h"
#include "admsa_tab.h"

namespace {

struct FateCode {
  uint16_t bit;
  const char* code;
};

// In the order a row lists them: refusals first.
// clang-format off
const FateCode kFateCodes[] = {
  {kFateSuppliedTransaction, "supplied-transaction"},
  {kFateSystemFile,          "system-file"},
  {kFateSystemProgram,       "system-program"},
  {kFateSystemResource,      "system-resource"},
  {kFateNoName,              "no-name"},
  {kFateUnwritable,          "unwritable"},
  {kFateNetnameReset,        "netname-reset"},
  {kFateTriggerlevelRemoved, "triggerlevel-removed"},
  {kFateAttributeDropped,    "attribute-dropped"},
  {kFatePasswordReset,       "password-reset"},
  {kFateShortRecord,         "short-record"},
  {kFateOutsideAscii,        "non-ascii"},
  {kFateJournaled,           "journaled"},
  {kFateUnmappedCharacter,   "unmapped-character"},
  {kFateInDoubt,             "in-doubt"},
};

// By Skip.
const char* const kSkipCodes[] = {
  "empty-record",
  "unknown-table-key",
  "workstation-setup",
  "ignored-record",
  "not-translated",
  "filtered",
  "damaged-record",
};
// clang-format on
static_assert(sizeof kSkipCodes / sizeof kSkipCodes[0] == kSkipDamagedRecord + 1,
              "a reason code for every Skip");

const char kHeader[] = "record,table,class,resource,outcome,reason";
const char kEndOfLine[] = "\r\n";

// Rows go out to the file in blocks of about this size, so that a large account
// is written as it grows, with one call for many rows.
constexpr size_t kBlock = 64 * 1024;

const char* TableText(int t) { return t >= 0 && t < kTableNames ? TableName[t] : ""; }

}  // namespace

Account::Account() = default;

Account::~Account() {
  if (file_ != nullptr && !lent_) std::fclose(file_);
  if (!temp_.empty()) DiscardWholeFile(temp_);
}

void Account::Restart(const char* Name) {
  name_ = Name != nullptr ? Name : "";
  werr_ = 0;
  records_ = 0;
  definitions_ = 0;
  for (std::deque<Origin>& filed : filed_) filed.clear();
  for (std::deque<Origin>& made : made_) made.clear();
  rows_.reserve(kBlock + 1024);
  rows_.assign(kHeader);
  rows_.append(kEndOfLine);
}

int Account::Open(const char* Name) {
  if (file_ != nullptr) return EBUSY;
  Restart(Name);
  lent_ = false;
  return OpenWholeFile(name_.c_str(), &file_, &temp_, &target_, /*Binary=*/true, "account");
}

int Account::OpenStream(FILE* Stream, const char* Name) {
  if (file_ != nullptr || Stream == nullptr) return EBUSY;
  Restart(Name);
  file_ = Stream;
  lent_ = true;
  temp_.clear();
  target_.clear();
  return 0;
}

void Account::WriteRows() {
  if (file_ != nullptr && werr_ == 0 && !rows_.empty()) {
    werr_ = ErrorOf(
        [this] { return std::fwrite(rows_.data(), 1, rows_.size(), file_) == rows_.size(); });
  }
  rows_.clear();
}

void Account::AppendField(const char* text, std::string* row) {
  if (std::strpbrk(text, ",\"\r\n") == nullptr) {
    row->append(text);
    return;
  }
  row->push_back('"');
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '"') row->push_back('"');
    row->push_back(*c);
  }
  row->push_back('"');
}

void Account::Row(uint32_t ordinal, const char* table, const char* cls, const char* resource,
                  const char* outcome, const char* reason) {
  if (ordinal > records_) records_ = ordinal;
  if (file_ == nullptr || werr_ != 0) return;
  char digits[16];
  char* d = digits + sizeof digits;
  do {
    *--d = static_cast<char>('0' + ordinal % 10);
    ordinal /= 10;
  } while (ordinal != 0);
  rows_.append(d, static_cast<size_t>(digits + sizeof digits - d));
  for (const char* field : {table, cls, resource, outcome, reason}) {
    rows_.push_back(',');
    AppendField(field, &rows_);
  }
  rows_.append(kEndOfLine);
  if (rows_.size() >= kBlock) WriteRows();
}

void Account::Filed(int t, uint32_t ordinal, bool Short) {
  if (t < 0 || t >= kTables) return;
  if (ordinal > records_) records_ = ordinal;
  Origin origin;
  origin.record = ordinal;
  origin.table = static_cast<uint16_t>(t);
  origin.fates = Short ? kFateShortRecord : 0;
  filed_[t].push_back(origin);
}

void Account::Skipped(uint32_t ordinal, const char* table, Skip Why) {
  Row(ordinal, table, "", "", "skipped", kSkipCodes[Why]);
}

void Account::Committed(int t, int index, int cls, uint16_t fates) {
  if (t < 0 || t >= kTables || cls < 0 || cls >= kClasses) return;
  Origin origin;
  const size_t i = static_cast<size_t>(index - 1);
  // A record filed without the account (made by a caller) has no ordinal.
  if (index >= 1 && i < filed_[t].size()) {
    filed_[t][i].fates |= kGave;
    origin = filed_[t][i];
    origin.fates &= static_cast<uint16_t>(~kGave);
  }
  origin.fates |= fates;
  made_[cls].push_back(origin);
}

void Account::TableDone(int t) {
  if (t < 0 || t >= kTables) return;
  for (const Origin& origin : filed_[t]) {
    if ((origin.fates & kGave) == 0) Skipped(origin.record, TableText(t), kSkipFiltered);
  }
  // Gives back all its blocks but one, which the next account reuses.
  filed_[t].clear();
}

void Account::Decided(int cls, int index, const char* resource, bool written, uint16_t fates) {
  if (cls < 0 || cls >= kClasses) return;
  Origin origin;
  const size_t i = static_cast<size_t>(index - 1);
  if (index >= 1 && i < made_[cls].size()) origin = made_[cls][i];
  ++definitions_;
  fates |= origin.fates;
  reason_.clear();
  for (const FateCode* code = kFateCodes; fates != 0 && code != std::end(kFateCodes); ++code) {
    if ((fates & code->bit) == 0) continue;
    if (!reason_.empty()) reason_.push_back(';');
    reason_.append(code->code);
  }
  const char* outcome = !written                                            ? "not migrated"
                        : (fates & static_cast<uint16_t>(~kFateNotes)) != 0 ? "amended"
                                                                            : "migrated";
  Row(origin.record, origin.record != 0 ? TableText(origin.table) : "",
      cls < LSTid ? ResTypeArr[cls] : "", resource, outcome, reason_.c_str());
  // The last definition of its class has its row: the origins go.
  if (static_cast<size_t>(index) == made_[cls].size()) made_[cls].clear();
}

int Account::Close() {
  if (file_ == nullptr) return werr_;
  WriteRows();
  const int flushed = FlushStream(file_);
  if (werr_ == 0) werr_ = flushed;
  if (!temp_.empty() && werr_ == 0) werr_ = SyncWholeFile(file_, temp_);
  if (lent_) {
    file_ = nullptr;
    return werr_;
  }
  const int closed = ErrorOf([this] { return std::fclose(file_) == 0; });
  file_ = nullptr;
  if (werr_ == 0) werr_ = closed;
  return werr_;
}

int Account::Commit() {
  if (temp_.empty()) return werr_;
  const int error = CommitWholeFile(temp_, target_);
  if (error != 0) return error;
  temp_.clear();
  return 0;
}

void Account::Discard() {
  if (file_ != nullptr) {
    if (!lent_) std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) DiscardWholeFile(temp_);
  temp_.clear();
}
