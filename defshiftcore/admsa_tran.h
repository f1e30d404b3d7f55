// The migration run (Conversion), the translation engine's entry points and the
// resource definition record that the command file writer checks and writes.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_H_
#define DEFSHIFTCORE_ADMSA_TRAN_H_

#include "admsa_account.h"
#include "admsa_codepage_map.h"
#include "admsa_fm.h"
#include "admsa_journal.h"
#include "admsa_supp.h"
#include "defshiftcore.h"

// One migration run: the source store, the target store and the region.
class Conversion {
 public:
  // reg is kept, not copied: it must outlive the run.
  explicit Conversion(const char* reg);
  // Releases the stores it created.
  ~Conversion();
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // Kind 3 makes the control-file store named name the source; any other kind
  // reports message 34 and returns -1.
  int setinfile(int fm, const char* name);
  // Kind 2 makes the command file named name the target; any other kind reports
  // message 34 and returns -1.
  int setoutfile(int fm, const char* name);
  // Runs the migration: read, translate, write. 0, or -1 after message 31 or 32,
  // after a reading that ended on a failure, or when the command file or the
  // account could not be written whole (then neither replaces an earlier file).
  int start();
  // Drains the source store into a new Config owned by the caller: each raw record
  // is packed by its table's layout and filed under its table; key "E" is dropped,
  // "X" logged as ignored, any other unknown key reported as message 30. Then
  // logs how many records were read and the status that ended the reading; a
  // status that the File Manager answers only on a failure is reported as
  // message 5 with the count, and readrc becomes -1 (else 0). Every record
  // read has its place in the account when there is one.
  Config* readinall();

  FMFile* infile;
  FMFile* outfile;
  const char* region;
  Account* account;         // the run's account, or null; not owned
  bool checks;              // the command file checks its commands (HumanFile::setchecks)
  bool packs;               // the command file packs the attributes (HumanFile::setpacking)
  Journal* journal;         // the journal of a journaled file, or null; not owned
  const char* journalname;  // its name as given, while journal is set
  int readrc;               // -1 when the last readinall ended on a failure, else 0
  // The console's code page (HumanFile::setcodepage), or null; not owned.
  const CodePageMap* codepage;
};

#endif  // DEFSHIFTCORE_ADMSA_TRAN_H_
