// The account of a migration run: a CSV file (RFC 4180, every line ended by CR
// LF) with one row for every definition that the translation produced and one
// for every record of the control file that gave none, so that every record the
// File Manager served can be found in it by its ordinal.
//
// Columns: record (the record's ordinal in the control file, from 1), table (the
// name of its source table as the report gives it; 0xNN, its key byte, for a
// record of no table; empty for an empty record), class (the class code of the
// definition), resource (the definition's name as the commands pass it; the
// region for the region definition), outcome, reason (codes joined by ';').
#ifndef DEFSHIFTCORE_ADMSA_ACCOUNT_H_
#define DEFSHIFTCORE_ADMSA_ACCOUNT_H_

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

// What happened to a definition on its way, one bit each (keep in step with
// kFateCodes in admsa_account.cpp and with the man page). The first bits refuse
// the definition, the others amend it.
enum Fate : uint16_t {
  kFateSuppliedTransaction = 1u << 0,  // a transaction the earlier release supplied
  kFateSystemFile = 1u << 1,           // a file of the earlier release's own
  kFateSystemProgram = 1u << 2,        // a program of the earlier release's own
  kFateSystemResource = 1u << 3,       // the system queue
  kFateNoName = 1u << 4,               // a definition without a name
  kFateUnwritable = 1u << 5,           // a text the command file cannot carry
  kFateNetnameReset = 1u << 6,         // NetName conflicted with ModelId
  kFateTriggerlevelRemoved = 1u << 7,  // a queue that is not intrapartition
  kFateAttributeDropped = 1u << 8,     // an attribute beyond the 32nd
  kFatePasswordReset = 1u << 9,        // the password became the user id
  kFateShortRecord = 1u << 10,         // its record is shorter than the layout
  kFateOutsideAscii = 1u << 11,        // a text holds bytes 128 to 255
  kFateJournaled = 1u << 12,           // every command of it is in the journal: nothing
                                       // written, complete from an earlier run
  kFateUnmappedCharacter = 1u << 13,   // a character the console's code page does not
                                       // hold, written as '?' (defshift -c)
  kFateInDoubt = 1u << 14,             // its tavoadd was running when the last run of the
                                       // journaled file ended: it may exist already
};
// The bits that note something of a definition without changing it: they give
// a reason, but a definition with no other is still migrated.
constexpr uint16_t kFateNotes = kFateOutsideAscii | kFateJournaled | kFateInDoubt;

// Why a record gave no definition (keep in step with kSkipCodes).
enum Skip {
  kSkipEmptyRecord,
  kSkipUnknownTableKey,
  kSkipWorkstationSetup,
  kSkipIgnoredRecord,
  kSkipNotTranslated,
  kSkipFiltered,
  kSkipDamagedRecord,
};

class Account {
 public:
  Account();
  // An account never committed is removed, with its temporary file.
  ~Account();
  Account(const Account&) = delete;
  Account& operator=(const Account&) = delete;

  // Starts the account Name: a temporary file beside it (see OpenWholeFile) with
  // the header row. 0, or the error number of the failure (nothing created).
  int Open(const char* Name);
  // As Open, but the rows go to Stream, which stays the caller's: nothing is
  // created, Close flushes Stream without closing it and Commit has nothing to
  // rename (a process that checks the accounts it makes keeps them in memory).
  // An account that was closed may be started again this way; it starts empty.
  // 0; EBUSY, with nothing done, when the account is open.
  int OpenStream(FILE* Stream, const char* Name);

  // Reading. Record ordinal (from 1) of source table t, whose raw bytes were
  // short of its layout when Short, has been filed as the next record of t.
  void Filed(int t, uint32_t ordinal, bool Short);
  // Record ordinal gave no definition for Why; table is the text of the table
  // column.
  void Skipped(uint32_t ordinal, const char* table, Skip Why);

  // Translation. Record index (from 1) of table t committed the next definition
  // of class cls; fates are what the translation did to it (kFatePasswordReset).
  void Committed(int t, int index, int cls, uint16_t fates);
  // No later rule set reads table t: each of its records that committed nothing
  // gets a row, and its records are forgotten.
  void TableDone(int t);

  // Writing. Definition index (from 1) of class cls, named resource, was written
  // to the command file when written, with the fates of its checks.
  void Decided(int cls, int index, const char* resource, bool written, uint16_t fates);

  // Flushes the file, puts it on the disk and closes it: 0 when every row
  // reached the disk, else the error number of the first failure. The file
  // keeps its temporary name.
  int Close();
  // Gives the closed file its name (ReplaceByRename): 0, or the error number.
  int Commit();
  // Removes the temporary file.
  void Discard();

  const char* name() const { return name_.c_str(); }
  uint32_t records() const { return records_; }
  uint32_t definitions() const { return definitions_; }

  // Appends text to *row as one CSV field: quoted, with its quotes doubled, when
  // it holds a comma, a double quote, CR or LF.
  static void AppendField(const char* text, std::string* row);

 private:
  // Where a record or a definition came from.
  struct Origin {
    uint32_t record = 0;  // ordinal in the control file
    uint16_t table = 0;   // source table id
    uint16_t fates = 0;   // Fate bits, and kGave on a record that committed
  };
  static constexpr uint16_t kGave = 1u << 15;
  static constexpr int kTables = 10;
  static constexpr int kClasses = 20;

  void Row(uint32_t ordinal, const char* table, const char* cls, const char* resource,
           const char* outcome, const char* reason);
  // Hands the rows composed so far to the file, keeping the first failure.
  void WriteRows();
  // Forgets every row and origin of an earlier account and composes the header.
  void Restart(const char* Name);

  FILE* file_ = nullptr;
  bool lent_ = false;   // file_ is the caller's stream (OpenStream): never closed here
  std::string temp_;    // the temporary file while it is not committed
  std::string target_;  // the name it takes
  std::string name_;    // the name given
  int werr_ = 0;        // the first failed write's error number
  std::string rows_;    // rows not yet handed to file_; its storage stays
  std::string reason_;
  std::deque<Origin> filed_[kTables];  // by table, in filing order
  std::deque<Origin> made_[kClasses];  // by class, in commit order
  uint32_t records_ = 0;               // highest ordinal seen
  uint32_t definitions_ = 0;
};

#endif  // DEFSHIFTCORE_ADMSA_ACCOUNT_H_
