// The lines that make a command file check its commands (defshift -e, and the
// journaled file of defshift -j): a short header that starts a local
// environment and the counts, a line before the commands of each definition
// that shows how far the run has come, a check at the end of every tavoadd and
// tavoupdate line, a line after the commands of each definition that notes it
// when one of them failed, and a trailer that prints the counts and the names
// of the definitions that had a failed command and ends the file with exit
// status 1 when any command failed, 0 when none did.
//
// The screen. Every line the file runs begins with '@', so the interpreter
// shows none of them, and the file leaves the caller's ECHO as it found it.
// What shows is the programs' own output, the progress line of each
// definition ("[ 12%] 12,001 of 99,902  wd OE02": its place among the
// definitions of the migration), one line after a command that failed
// ("Failed at line 1,234 of migratetavo.cmd: tavoupdate wd OE02") and the
// recap at the end.
//
// The journaled file. Every tavoadd and tavoupdate that succeeds appends its
// line to the journal, and every tavoadd appends a start line just before it
// runs (admsa_journal.h); a run that ends appends the end line. Each append is
// checked: the file notes what the append owes in DEFSHIFT_S, appends, and
// then clears DEFSHIFT_S by a second, empty append to the journal. A command
// whose redirection cannot be opened is not run, on every interpreter, and the
// line goes on; so DEFSHIFT_S stays set when the journal cannot be opened for
// appending (its name taken by a folder, a read-only file or share, a folder
// gone, access denied), and the same line jumps to the stop, which names the
// command that succeeded without its line, and the line to append by hand, and
// ends the run with status 1. (ERRORLEVEL after a failed redirection is not
// set by the interpreter of Windows NT 4.0, nor by Wine's; a redirected block
// is run by Wine's even when its redirection failed: neither is used.) A write
// that fails once the journal is open, on a disk that fills up, is not seen by
// any interpreter. One run holds the journal at a time: the file takes a lock
// by making the folder named by LockName beside the journal, which fails when
// it exists, gives it back at its end and when stopped, and runs nothing when
// it cannot take it.
//
// Every Windows a site runs, Windows NT 4.0 included, runs the file. What the
// interpreter of Windows NT 4.0 lacks (EXIT /B, the arguments of SETLOCAL, the
// folder of the file, %~dp0) is used only after IF CMDEXTVERSION 2, and the
// file ends with the right status there too: VERIFY OTHER sets ERRORLEVEL 1,
// VERIFY alone 0. An interpreter that knows EXIT /B but not that condition
// (Wine's) is told by the dynamic ERRORLEVEL, which Windows NT 4.0 lacks too
// (a variable of that name is cleared in the local environment first).
// Windows NT 4.0 may leave ERRORLEVEL as it was after MD: the lock is also
// tested for with IF EXIST before it is made.
//
// The file sets the same variables whatever it runs into, all under the prefix
// DEFSHIFT_: FAILED (the count of failed commands), FD (the number of the last
// definition with a failed command), L (the failure list), A and U (the
// failure line's text for a tavoadd and a tavoupdate: the command file's name
// and the program), N (the definition running, and how its failures count),
// I and Q (the parts of a check that are the same on every line) and,
// journaled, J (the journal), K (the lock), D and E (the append of a journal
// line and its check), P and R (in place of Q), W (the line of the command
// whose append is checked) and S (what that append owes). A line's check
// reads as it runs once these are put in (the interpreter expands a line
// before it reads it, and the value is not expanded again). The names of the definitions with a
// failed command go to the failure list, a file beside the command file named after it (ending in
// .failed instead of its extension), which the file empties when it starts and
// types at its end; the journal and the lock are beside the command file too.
// On Windows NT 4.0, which cannot tell the folder of a running command file,
// they are in the current folder.
//
// The interpreter acts on these lines, so none of them carries a byte of a
// definition or of the command line as it stands: the names of the files are
// written escaped, and so are the texts that name a definition; the values of
// A, U and N are kept with their carets, so that a line that expands them prints
// them exactly, within parentheses too. No line of the file but the labels of
// the header and the trailer begins with ':', so no definition can make a
// label of its own.
//
// A command has failed when its exit status is not 0, whether above 0 or below
// (IF ERRORLEVEL 1 is true only above 0). The check tests the status with IF
// ERRORLEVEL rather than with ||, which some command interpreters (Wine's)
// take for &, and sets the counts with SET /A: neither parses a text twice, and
// delayed expansion stays off, so that a ! in a name stays a !.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_CHECK_H_
#define DEFSHIFTCORE_ADMSA_TRAN_CHECK_H_

#include <cstddef>
#include <string>

#include "admsa_journal.h"
#include "admsa_tran_check_files.h"
#include "admsa_tran_grouped.h"
#include "admsa_tran_lines.h"

// Appends to *rText the lines written after the usual header, each ended by a
// newline and escaped as it must be: those of a checked file of CommandFile
// and, when JournalFile is not null, of a file with that journal.
void AppendCheckHeader(const char* CommandFile, const char* JournalFile, std::string* rText);
// Appends to *rText the trailer of the command file CommandFile that holds
// Commands commands, each line ended by a newline; Journaled for the journaled
// file.
void AppendCheckTrailer(const char* CommandFile, long Commands, bool Journaled, std::string* rText);

// What a checked file adds to the commands of one definition, and what became
// of them.
class CommandChecks {
 public:
  // Definition: the definition's number in the file, from 1. Journal: the
  // journal of a journaled file, or null.
  CommandChecks(int Definition, Journal* J) : definition_(Definition), journal_(J) {}

  // The definition is the Place-th of Total of the migration, of class Code,
  // named Name (the region for the region definition); its text begins at
  // line FirstLine of the command file CommandFile.
  void Place(long Place, long Total, const char* Code, const char* Name, long FirstLine,
             const char* CommandFile);

  // Appends to *rText the progress line, written before the definition's first
  // command, with its newline.
  void AppendProgress(std::string* rText) const;
  // Appends to *rText the line written before the tavoadd at line Line of a
  // journaled file, with its newline: it appends the start line of Print to
  // the journal, checked.
  void AppendStart(const Fingerprint& Print, long Line, std::string* rText) const;
  // Appends to *rLine, the tavoadd or tavoupdate line at line Line of the file
  // as it holds it (escaped), its check: it counts the command as failed and
  // prints the failure line when it failed, notes the definition, and when
  // Print is not null appends the fingerprint line to the journal when it
  // passed, checked. Program: "tavoadd" or "tavoupdate".
  void Append(const Fingerprint* Print, long Line, const char* Program, std::string* rLine) const;
  // A check as Append appends it to a tavoupdate line of this definition (of a
  // command that does not exist), and one character more for the '@' before
  // the line: what the file adds to a tavoupdate line is never longer.
  std::string Sample() const;

  Journal* journal() const { return journal_; }
  long first_line() const { return first_line_; }

 private:
  int definition_;
  Journal* journal_;
  long place_ = 0;
  long total_ = 0;
  std::string shown_;  // the class code and the name
  long first_line_ = 1;
  // The value of DEFSHIFT_N: the text of the failure lines after the program,
  // with its carets, and the count of the failure.
  std::string name_value_;
  // For a name that holds a %: what follows the line number in the failure
  // line of a tavoadd and of a tavoupdate, as the line holds it; else empty.
  std::string add_literal_;
  std::string update_literal_;

  // Appends the check with the failure line's text Tail after its number.
  static void AppendCheck(const Fingerprint* Print, long Line, const std::string& Tail,
                          std::string* rLine);
};

// Appends to *rLine the line written after the commands of definition
// Definition, escaped as it must be: when one of them failed, it adds
// "Failed: <Code> <Name>" to the failure list.
void AppendFailureLine(int Definition, const char* Code, const char* Name, std::string* rLine);

// What became of the commands of one definition in a checked file.
struct CheckCounts {
  int written = 0;        // command lines written
  int left_out = 0;       // command lines left out: the journal holds them
  bool in_doubt = false;  // its tavoadd is the journal's command in doubt
  Fingerprint doubt{};    // and its fingerprint
};

// Appends to *rText the lines of one definition as a checked file of Checks
// holds them: each escaped as AppendScriptEscaped escapes it, each command line
// begun by '@', escaped as it must be to take its check after it
// (AppendJoinEscaped) and followed by its check, the progress line before the
// first command, in a journaled file the start line before the tavoadd, and
// the commands whose fingerprints the journal of Checks holds left out;
// nothing when it holds every command. The fingerprint is that of the command
// as the program's runtime reads it. The lines are numbered from the first
// line of Checks.
CheckCounts AppendChecked(const ScriptLines& Lines, const CommandChecks& Checks,
                          std::string* rText);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_CHECK_H_
