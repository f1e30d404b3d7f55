// Reading the control file: every raw record is packed by its table's layout and
// filed under its table.
#include <cctype>
#include <cstdio>
#include <memory>

#include "admsa_account.h"
#include "admsa_conv.h"
#include "admsa_errs.h"
#include "admsa_progress.h"
#include "admsa_tab.h"
#include "admsa_tran.h"

namespace {

// The statuses with which this project's File Manager (qrlnt) answers "GN" only
// when the request failed (keep in step with qrlnt/README.md). Any other status,
// its end of file "EF" included, ends the reading as the end of the file.
struct FailureStatus {
  char code[3];
  const char* words;
};

// clang-format off
const FailureStatus kFailureStatuses[] = {
  {"BA", "an area, a length or the parameter list was unusable"},
  {"FC", "the request is not served"},
  {"SQ", "the request came out of sequence"},
  {"SN", "the request went to the wrong server"},
  {"DR", "the folder of the control files cannot be read"},
  {"NP", "no PCB of that name"},
  {"DI", "the control file is damaged or unreadable"},
  {"SH", "a record is longer than the area it was read into"},
  {"",   nullptr},
};
// clang-format on

// The words of a failure status, or null for a status that is not one.
const char* FailureWords(int status) {
  for (const FailureStatus* f = kFailureStatuses; f->words != nullptr; ++f) {
    if (status == (f->code[0] << 8 | f->code[1])) return f->words;
  }
  return nullptr;
}

// A status as the report shows it: its two characters in quotes, or its number
// in hexadecimal when they cannot be shown.
void ShowStatus(int status, char (&out)[16]) {
  const int first = (status >> 8) & 0xff;
  const int second = status & 0xff;
  if (std::isprint(first) && std::isprint(second)) {
    std::snprintf(out, sizeof out, "'%c%c'", first, second);
  } else {
    std::snprintf(out, sizeof out, "0x%04X", static_cast<unsigned>(status & 0xffff));
  }
}

// Whether a rule set of TTable reads the records of table t.
bool Translated(int t) {
  static const struct ReadTables {
    bool read[Config::kTables] = {};
    ReadTables() {
      for (const TTableRow* row = TTable; row->trans != nullptr; ++row) {
        if (row->sdtab >= 0 && row->sdtab < Config::kTables) read[row->sdtab] = true;
      }
    }
  } tables;
  return t >= 0 && t < Config::kTables && tables.read[t];
}

// The table column of a record whose key byte names no table.
void KeyText(unsigned char key, char (&out)[8]) {
  std::snprintf(out, sizeof out, "0x%02X", static_cast<unsigned>(key));
}

void FileRecord(const InRec& raw, uint32_t ordinal, Account* account, Config* conf) {
  if (raw.len() < 1) {
    Error.Report(" Ignoring empty record (no table key character)");
    if (account != nullptr) account->Skipped(ordinal, "", kSkipEmptyRecord);
    return;
  }
  const unsigned char key = raw.data()[0];
  const Tabl* t = raw.getfor();
  if (t == nullptr) {
    char shown[8];
    KeyText(key, shown);
    if (key == 'E') {
      if (account != nullptr) account->Skipped(ordinal, shown, kSkipIgnoredRecord);
      return;
    }
    if (key == 'X') {
      Error.Report(" Ignoring Workstation Setup (QVBKBD) record");
      if (account != nullptr) account->Skipped(ordinal, shown, kSkipWorkstationSetup);
      return;
    }
    if (std::isprint(key)) {
      Error.Report(30, key);
    } else {
      // A control character cannot be shown through the message's %c.
      Error.Report(30, '?');
      Error.Report(" .... The unrecognised table key byte is 0x%02X", static_cast<unsigned>(key));
    }
    if (account != nullptr) account->Skipped(ordinal, shown, kSkipUnknownTableKey);
    return;
  }
  // A short record keeps what it has: dropping it would lose a definition, and the
  // missing bytes read as blank text and zero numbers.
  const int needed = RawLengthNeeded(t->num);
  const bool short_record = raw.len() < needed;
  if (short_record) {
    Error.Report(
        " .... %s record of %d bytes is shorter than its layout (%d bytes); missing "
        "bytes taken as blanks, or zero in numbers",
        TableName[t->num], raw.len(), needed);
  }
  unsigned char work[kRecWorkArea];
  const int n = PackRecord(t, raw.data(), raw.len(), work);
  if (n < 0) {
    if (account != nullptr) account->Skipped(ordinal, TableName[t->num], kSkipDamagedRecord);
    return;
  }
  conf->AddRecord(t->num, work, n);
  if (account == nullptr) return;
  if (Translated(t->num)) {
    account->Filed(t->num, ordinal, short_record);
  } else {
    account->Skipped(ordinal, TableName[t->num], kSkipNotTranslated);
  }
}

}  // namespace

Config* Conversion::readinall() {
  Config* conf = new Config;
  readrc = 0;
  if (infile == nullptr) return conf;
  uint32_t read = 0;
  for (;;) {
    const std::unique_ptr<InRec> raw(infile->readrec());
    if (raw == nullptr) break;
    FileRecord(*raw, ++read, account, conf);
    progress::Count(progress::kRead);
  }
  // A store that gives no status (not the File Manager's) has nothing to tell.
  const int status = infile->endstatus();
  if (status == 0) return conf;
  char shown[16];
  ShowStatus(status, shown);
  const char* failure = FailureWords(status);
  if (failure == nullptr) {
    Error.Report(" .... %u records read; the File Manager ended the reading with status %s", read,
                 shown);
    return conf;
  }
  Error.Report(5, infile->fname() != nullptr ? infile->fname() : "",
               static_cast<int>(static_cast<int16_t>(status)));
  Error.Explain(" .... %u records read; the File Manager ended the reading with status %s: %s",
                read, shown, failure);
  readrc = -1;
  return conf;
}
