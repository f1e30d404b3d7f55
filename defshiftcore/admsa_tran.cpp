#include "admsa_tran.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "admsa_errs.h"
#include "admsa_interrupt.h"
#include "admsa_progress.h"
#include "admsa_tran_check.h"
#include "admsa_tran_engine.h"
#include "admsa_tran_escape.h"
#include "admsa_tran_pack.h"
#include "qvbutsfs_client.h"

Conversion::Conversion(const char* reg)
    : infile(nullptr),
      outfile(nullptr),
      region(reg),
      account(nullptr),
      checks(false),
      packs(false),
      journal(nullptr),
      journalname(nullptr),
      readrc(0) {}

Conversion::~Conversion() {
  delete infile;
  delete outfile;
}

int Conversion::setinfile(int fm, const char* name) {
  if (fm != 3) {
    Error.Report(34, fm);
    return -1;
  }
  delete infile;
  infile = new OmbrelFile(name);
  return 0;
}

int Conversion::setoutfile(int fm, const char* name) {
  if (fm != 2) {
    Error.Report(34, fm);
    return -1;
  }
  delete outfile;
  outfile = new HumanFile(name, region);
  return 0;
}

int Conversion::start() {
  if (infile->openinfile() != 0) {
    Error.Report(31);
    return -1;
  }
  std::unique_ptr<Config> conf(readinall());
  infile->closefile();
  // The records read before a failure are not the control file: a command file
  // made of them would lose the rest without a word.
  if (readrc != 0) return -1;
  // The records go back table by table as the translation finishes with them,
  // and the last of them before the command file is written.
  const std::unique_ptr<Forcfg> nconf(new Forcfg);
  TranslateAndRelease(TTable, conf.get(), nconf.get(), account);
  conf.reset();
  // The header of a checked file differs: the store must know before it opens.
  if (HumanFile* human = dynamic_cast<HumanFile*>(outfile)) {
    human->setchecks(checks);
    human->setjournal(journal, journalname);
  }
  if (outfile->openoutfile() != 0) {
    Error.Report(32);
    return -1;
  }
  if (HumanFile* human = dynamic_cast<HumanFile*>(outfile)) {
    human->setaccount(account);
    human->setpacking(packs);
  }
  Error.Write("\n Validating migrated resource definitions\n");
  Error.Write(" -----------------------------------------\n");
  outfile->GenerateCommandScript(nconf.get());
  // The closing lines start here.
  progress::End();
  // A command file that did not reach the disk whole has been reported by its
  // store; the run must not end as if it had been generated.
  return outfile->closefile() == 0 ? 0 : -1;
}

namespace {

const char* Shown(const char* text) { return text != nullptr ? text : ""; }

const char* JournalOf(const AdmSAMigrationData* md) {
  return (md->Options & kJournalBit) != 0 ? md->jnlf : nullptr;
}

// Reads the journal Name into *rJournal and logs what it holds; 0, or -1 after
// a message that says why it cannot be read.
int ReadJournal(const char* Name, Journal* rJournal) {
  const int error = rJournal->Read(Name);
  if (error == Journal::kForeignLine) {
    Error.Report(5, Name, static_cast<int>(rJournal->foreign_line()));
    Error.Explain(
        "%s, line %zu: not a line that a command file writes to its journal; give -j the "
        "journal of this migration's command files, or a name that does not exist yet",
        Name, rJournal->foreign_line());
    return -1;
  }
  if (error != 0) {
    Error.ReportFailure(error, 1, Name, error);
    return -1;
  }
  if (!rJournal->exists()) {
    Error.Report(" Journal %s does not exist yet: every command is written", Name);
    return 0;
  }
  Error.Report(" Journal %s: %zu lines, %zu commands", Name, rJournal->lines(), rJournal->held());
  if (rJournal->cut() != 0) {
    Error.Report(" Journal %s: %zu %s cut short by an interrupted run, left aside", Name,
                 rJournal->cut(), rJournal->cut() == 1 ? "line" : "lines");
  }
  return 0;
}

// Whether the region can stand in every line of the command file; reports why
// it cannot.
bool RegionWritable(const char* region) {
  if (region == nullptr) return true;
  if (HoldsControlCharacter(region)) {
    Error.Report("Region '%s' holds characters that cannot be written to a command file",
                 ShowControlCharacters(region).c_str());
    return false;
  }
  const size_t length = std::strlen(region);
  if (length > kMaxRegionLength) {
    Error.Report("Region name of %zu characters is too long for a command file (at most %zu)",
                 length, kMaxRegionLength);
    return false;
  }
  return true;
}

// Whether the journal's name can stand in the command file outf; reports why
// it cannot.
bool JournalWritable(const char* name, const char* outf) {
  if (name == nullptr || JournalNameWritable(name, outf != nullptr ? outf : "")) return true;
  Error.Report(
      "Journal name '%s' cannot be written to the command file: it must end in a file name "
      "without double quotes or control characters, other than the command file's",
      ShowControlCharacters(name).c_str());
  return false;
}

// The run of transmain once the log is open; its result.
int MigrateOpened(const AdmSAMigrationData* md, Conversion* conversion) {
  // Read before anything else: a journal that cannot be read fails the run
  // before any file is touched.
  Journal journal;
  if (const char* name = JournalOf(md)) {
    if (ReadJournal(name, &journal) != 0) {
      Error.Report(33, -1);
      Error.EndLog();
      return -1;
    }
    conversion->journal = &journal;
    conversion->journalname = name;
  }
  // The account is started before anything is read, so that its rows go out as
  // the run decides them.
  Account account;
  if ((md->Options & kAccountBit) != 0 && md->acctf != nullptr) {
    const int error = account.Open(md->acctf);
    if (error != 0) {
      Error.ReportFailure(error, 1, md->acctf, error);
      Error.Report(32);
      Error.Report(33, -1);
      Error.EndLog();
      return -1;
    }
    conversion->account = &account;
  }
  progress::Begin(Error.LogsToFile(), isatty(fileno(stderr)) != 0);
  const int rc = conversion->start();
  progress::End();
  if (rc != 0) Error.Report(33, rc);
  // A report that did not reach its file or the console fails the run, whose
  // command file and account are complete and stay.
  if (Error.EndLog() != 0) return -1;
  return rc;
}

}  // namespace

extern "C" DEFSHIFT_EXPORT int transmain(AdmSAMigrationData* md) {
  if (md == nullptr) return -1;
  // Refused before anything is read: every command would carry the region.
  if (!RegionWritable(md->region) || !JournalWritable(JournalOf(md), md->outf)) {
    Error.Report(29);
    return -1;
  }
  Conversion conversion(md->region);
  if (conversion.setinfile(3, md->inf) != 0 || conversion.setoutfile(2, md->outf) != 0) {
    Error.Report(29);
    return -1;
  }
  Error.Init(md->logf);
  // Which client library answers is the first thing to know when the File
  // Manager seems to offer nothing: a stand-in may be found before the site's.
  Error.Report("Source file: %s\n%s\nOutput file: %s\nRegion: %s", Shown(md->inf),
               ClientLibraryLine(FindClientLibrary()).c_str(), Shown(md->outf), Shown(md->region));
  if ((md->Options & (kCheckBit | kJournalBit)) != 0) {
    conversion.checks = true;
    Error.Report(
        "Commands checked: at its end the command file names the definitions whose tavoadd or "
        "tavoupdate commands failed, and ends with exit status 1 if any did");
  }
  if ((md->Options & kPackBit) != 0) {
    conversion.packs = true;
    Error.Report(
        "Attributes packed: each tavoupdate command carries as many of its definition's "
        "attributes as fit in a line of %zu characters",
        kPackedLineLimit);
  }
  // From before the first temporary file to after the report: an interruption
  // takes the temporary files with it.
  CatchInterruptions();
  const int rc = MigrateOpened(md, &conversion);
  ReleaseInterruptions();
  return rc;
}
