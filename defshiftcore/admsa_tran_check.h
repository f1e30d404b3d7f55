// The lines that make a command file check its commands (defshift -e, and the
// journaled file of defshift -j): a short header that starts a local
// environment and the counts, a check at the end of every tavoadd and
// tavoupdate line, a line after the commands of each definition that notes it
// when one of them failed, and a trailer that prints the counts and the names
// of the definitions that had a failed command and ends the file with exit
// status 1 when any command failed, 0 when none did.
//
// Every Windows a site runs, Windows NT 4.0 included, runs the file. What the
// interpreter of Windows NT 4.0 lacks (EXIT /B, the arguments of SETLOCAL, the
// folder of the file, %~dp0) is used only after IF CMDEXTVERSION 2, and the
// file ends with the right status there too: VERIFY OTHER sets ERRORLEVEL 1,
// VERIFY alone 0. An interpreter that knows EXIT /B but not that condition
// (Wine's) is told by the dynamic ERRORLEVEL, which Windows NT 4.0 lacks too
// (a variable of that name is cleared in the local environment first).
//
// The file sets the same variables whatever it runs into, all under the prefix
// DEFSHIFT_: the counts FAILED, PASSED and RUN, FD (the number of the last
// definition with a failed command), L (the failure list) and, journaled, J
// (the journal). The names of the definitions with a failed command go to the
// failure list, a file beside the command file named after it (ending in
// .failed instead of its extension), which the file empties when it starts and
// types at its end; the journal is beside the command file too. On Windows NT
// 4.0, which cannot tell the folder of a running command file, both are in the
// current folder.
//
// The interpreter acts on these lines, so none of them carries a byte of a
// definition or of the command line as it stands: the names of the files are
// written escaped, and so is the text of the line that names a definition
// (AppendFailureLine), so that ECHO prints it exactly. No line of the file but
// the trailer's two labels begins with ':', so no definition can make a label
// of its own.
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
#include "admsa_tran_lines.h"

// The last part of the file name Path: what follows its last '/', '\' or ':'.
std::string LastPart(const char* Path);
// The name of the failure list of the command file CommandFile with the
// journal JournalFile (null for none): its last part with its extension (from
// its last '.') replaced by ".failed", and ".failed" added again while that
// names the command file or the journal (ignoring case, as Windows does),
// which the file would empty when it starts; a character that no Windows file
// name holds becomes '_'.
std::string FailureListName(const char* CommandFile, const char* JournalFile);
// Whether the journal name JournalFile can stand in the command file
// CommandFile: its last part is not empty, holds no double quote and no
// control character, and is not the command file's own (beside which it is).
bool JournalNameWritable(const char* JournalFile, const char* CommandFile);

// Appends to *rText the lines written after the usual header, each ended by a
// newline and escaped as it must be: those of a checked file of CommandFile
// and, when JournalFile is not null, of a file with that journal.
void AppendCheckHeader(const char* CommandFile, const char* JournalFile, std::string* rText);
// Appends to *rText the trailer, each line ended by a newline.
void AppendCheckTrailer(std::string* rText);

// What a checked file adds to the commands of one definition, and what became
// of them.
class CommandChecks {
 public:
  // Definition: the definition's number in the file, from 1. Journal: the
  // journal of a journaled file, or null.
  CommandChecks(int Definition, Journal* J) : definition_(Definition), journal_(J) {}

  // Appends to *rLine, a tavoadd or tavoupdate line as the command file holds
  // it (escaped), its check: it counts the command as passed or failed, notes
  // the definition when it failed and, when Print is not null, appends the
  // fingerprint line to the journal when it passed.
  void Append(const Fingerprint* Print, std::string* rLine) const;
  // A check as Append appends it to a line of this definition (of a command
  // that does not exist): every one has its length.
  std::string Sample() const;

  Journal* journal() const { return journal_; }

 private:
  int definition_;
  Journal* journal_;
};

// Appends to *rLine the line written after the commands of definition
// Definition, escaped as it must be: when one of them failed, it adds
// "Failed: <Code> <Name>" to the failure list.
void AppendFailureLine(int Definition, const char* Code, const char* Name, std::string* rLine);

// What became of the commands of one definition in a checked file.
struct CheckCounts {
  int written = 0;   // command lines written
  int left_out = 0;  // command lines left out: the journal holds them
};

// Appends to *rText the lines of one definition as a checked file of Checks
// holds them: each escaped as AppendScriptEscaped escapes it, each command line
// escaped as it must be to take its check after it (AppendJoinEscaped) and
// followed by its check, and the commands whose fingerprints the journal of
// Checks holds left out; nothing when it holds every command. The fingerprint
// is that of the command as the program's runtime reads it.
CheckCounts AppendChecked(const ScriptLines& Lines, const CommandChecks& Checks,
                          std::string* rText);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_CHECK_H_
