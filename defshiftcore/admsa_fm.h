// The store family: the abstract store FMFile and its two kinds, the control-file
// store OmbrelFile (read through the File Manager) and the command-file store
// HumanFile (the generated command file).
#ifndef DEFSHIFTCORE_ADMSA_FM_H_
#define DEFSHIFTCORE_ADMSA_FM_H_

#include <cstdio>
#include <memory>
#include <string>

#include "admsa_codepage.h"
#include "admsa_errs.h"
#include "admsa_supp.h"
#include "admsa_supp_text.h"

// The abstract store. Every operation a kind of store does not support fails:
// int results -1, readrec null. An int result of 0 means success.
class Account;
struct CheckCounts;
class Journal;

class FMFile {
 public:
  // fname() becomes a private copy of name (null for a null name); status 0.
  explicit FMFile(const char* name);
  FMFile(const FMFile&) = delete;
  FMFile& operator=(const FMFile&) = delete;

  // The eight operations, in this slot order.
  virtual int openinfile();
  virtual int openoutfile();
  virtual int closefile();
  virtual int readstat();
  // A new raw record owned by the caller, or null at the end of the data or on failure.
  virtual InRec* readrec();
  virtual int writerec(Buffer* b);
  virtual int writeoutall(Forcfg* cfg);
  virtual int GenerateCommandScript(Forcfg* cfg);

  // Declared after the operations so that they keep their slots; virtual so that
  // the run can release either kind of store through this class.
  virtual ~FMFile();
  // The status with which the source ended the reading (readrec returned null),
  // or 0 when it gives none.
  virtual int endstatus() const { return 0; }

  const char* fname() const { return fn.get(); }
  void setstatus(int s) { status = s; }
  int getstatus() const { return status; }

 private:
  OwnedText fn;
  int status;
};

// The control-file store: reads the earlier release's control file record by
// record through the File Manager. Each openinfile connects again with a new
// record buffer; the buffer is released by the next openinfile or the destructor.
class OmbrelFile : public FMFile {
 public:
  // name: the control file's file description name, without path or extension.
  explicit OmbrelFile(const char* name);
  ~OmbrelFile() override;

  // 0 when the file is open for reading; -1 when the connection failed (message 28);
  // 0x10000000 when no PCB reads the named file (message 1).
  int openinfile() override;
  // Disconnects; always 0.
  int closefile() override;
  // The next raw record, owned by the caller, or null when there are no more.
  InRec* readrec() override;
  // The status of the "GN" that returned no record; 0 before.
  int endstatus() const override { return ended; }

 private:
  int first;                      // 1 from a successful open until the first read has sent "ID"
  std::unique_ptr<Buffer> dbuff;  // the record buffer, made by openinfile
  char PCBName[9];                // the PCB chosen by openinfile, NUL-terminated
  bool opened;                    // from a successful openinfile to closefile: readrec may ask
  int ended;                      // the status of the "GN" that ended the reading, or 0
};

// The command-file store: writes the command file of tavoadd/tavoupdate commands.
class HumanFile : public FMFile {
 public:
  // name: the command file; reg: the region (copied).
  HumanFile(const char* name, const char* reg);
  ~HumanFile() override;

  // 0 when the file is open and its header written. 1 when it could not be
  // created (a folder, a missing folder, no permission): message 1 with the name,
  // the error number and its words is reported. The lines go to a temporary file
  // beside it (see OpenWholeFile); a device or a pipe is written directly.
  // A header line the stream refuses is reported by closefile.
  int openoutfile() override;
  // As openoutfile, but the lines go to Stream, which stays the caller's: nothing
  // is created, and closefile flushes Stream without closing or renaming it (a
  // process that checks the command files it makes keeps them in memory). Stream
  // keeps the buffering the caller gave it. 0; 1, with nothing done, when Stream
  // is null or a file is open already.
  int openoutstream(FILE* Stream);
  // Closes the file when one is open. 0 when every line reached it, it is on
  // the disk (SyncWholeFile), closed, and took the requested name (replacing an
  // earlier file): then "<Title> generated
  // command file: <name>" is printed on standard output, and the account, when
  // there is one, takes its name too and its closing line is logged. -1 when a
  // write, the flush, the close or the rename of either failed: message 3 with
  // the file's name, the error number of the first failure and its words is
  // reported instead, the temporary files are removed and earlier files of the
  // names are left as they were (only a failed rename of the account, after the
  // command file took its name, leaves the new command file). 0 when no file was
  // open.
  int closefile() override;
  int readstat() override;
  // Checks and writes every definition of OutputCfg, class by class, with the
  // per-class counts in the report, then the paragraph on the definitions written
  // with texts outside ASCII (CodePageNotes); 0. -1, with nothing done, when no
  // file is open.
  // After a failed write the checks and counts go on, but nothing more is written.
  int GenerateCommandScript(Forcfg* OutputCfg) override;

  // Writes the header to the open file.
  void writeheader();
  // From now on every definition checked has its row in *a (not owned), which
  // closefile completes with the command file: when either cannot be written
  // whole, neither replaces an earlier file, and the account is discarded.
  void setaccount(Account* a) { account = a; }
  // From the next openoutfile on, every tavoadd and tavoupdate command of the
  // file is checked when it runs, and the file ends by naming the definitions
  // that had a failed command (admsa_tran_check.h).
  void setchecks(bool c) { checks = c; }
  // From the next openoutfile on, the file is journaled: every command that
  // succeeds appends its fingerprint to the journal Name (its last part, beside
  // the command file), and a command whose fingerprint J (not owned) holds is
  // left out (admsa_journal.h). Implies setchecks(true).
  void setjournal(Journal* J, const char* Name) {
    journal = J;
    journalname = Name != nullptr ? Name : "";
    if (J != nullptr) checks = true;
  }
  // From now on the tavoupdate lines of each definition carry as many of its
  // attributes as fit a line (RenderDefinition with Pack).
  void setpacking(bool p) { packs = p; }
  // From the next openoutfile on, every text of the file that comes from the
  // control file or the command line is written for the console's code page
  // by Map (not owned; it must outlive the store), or as it is when Map is
  // null. The report and the account keep naming the definitions as the
  // control file holds them.
  void setcodepage(const CodePageMap* Map);

 private:
  // What became of a definition.
  enum Written { kRefused, kWhole, kInPart, kComplete };
  // Checks definition index (from 1) of class cls, gives it its row in the
  // account, and writes it when it passes: all its commands, those the
  // journal does not hold, or none when it holds them all.
  Written WriteDefinition(const ListBP& definition, int cls, int index);
  // Logs what the journal made of the definitions of a class and, at the end,
  // of the whole file.
  void ReportClassJournal(const int (&Count)[4]);
  void ReportJournal();
  // Writes Text, whole lines each ended by its newline and escaped as they must
  // be, unless an earlier write failed; keeps the failure. Counts the lines of
  // a checked file.
  void WriteText(const std::string& Text);
  // Logs that the tavoadd of definition shown of class cls, written as Counts
  // tell, is in doubt.
  void ReportInDoubt(int cls, const char* shown, const CheckCounts& Counts);
  // Gives the closed account its name and logs its closing line; 0, or -1 after
  // message 3.
  int CommitAccount();
  // Writes Line, escaped as ScriptEscape escapes it, and its newline, unless an
  // earlier write failed; keeps the failure. Every line of the file's own but
  // those of the checks passes here, so that what the interpreter reads is
  // decided in one place.
  void WriteLine(const char* Line);
  // The same for the line that Format makes of the arguments.
  void WriteFormatted(const char* Format, ...) ADMSA_PRINTF(2, 3);

  // Closes hFile, then gives back its stream buffer; 0, or EOF when the close failed.
  int CloseStream();

  FILE* hFile;              // the open command file, or null
  bool lent;                // hFile is the caller's stream (openoutstream): never closed here
  char* wbuf;               // the shared stream buffer while hFile uses it, or null; given back
                            // once hFile is closed
  OwnedText region;         // copy of the region name
  int werr;                 // error number of the first failed write to hFile; 0 while none failed
  std::string temp;         // the file hFile writes until it is complete; empty when
                            // hFile writes the requested file directly
  std::string target;       // the name the complete file takes
  Account* account;         // the run's account, or null
  bool checks;              // the commands are checked (setchecks)
  int checked;              // the definitions written with checks so far
  long lines;               // lines of a checked file so far (WriteLine, WriteText)
  long place;               // definitions of the migration taken so far
  long definitions;         // definitions of the migration, of every class
  Journal* journal;         // the journal of a journaled file, or null
  std::string journalname;  // its name as given
  long written;             // commands written to a journaled file
  long leftout;             // commands left out of it
  bool packs;               // the attributes are packed (setpacking)
  // The definitions written with bytes outside ASCII.
  CodePageNotes codepage;
  const CodePageMap* map;  // the console's code page (setcodepage), or null
  std::string fileregion;  // the region as the file holds it, while map is set
  std::string checkfile;   // the command file's name as a checked file names it
};

#endif  // DEFSHIFTCORE_ADMSA_FM_H_
