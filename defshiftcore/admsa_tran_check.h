// The lines that make a command file check its commands (defshift -e): a short
// header that starts a local environment and the counts, a check at the end of
// every tavoadd and tavoupdate line, and a trailer that prints the counts, names
// each definition that had a failed command and ends the file with exit status
// 1 when any command failed, 0 when none did.
//
// The interpreter acts on these lines, so none of them carries a byte of a
// definition or of the command line, with one exception: the recap line of a
// definition (AppendFailureLine), whose class code and name are written as
// ScriptEscape makes them, so that ECHO prints them exactly. Everything the
// checks need is named from the definition's number alone, under the prefix
// DEFSHIFT_: the counts DEFSHIFT_FAILED and DEFSHIFT_PASSED, the marker
// DEFSHIFT_F<number> of a definition that had a failed command, and the label
// DEFSHIFT_NONE_FAILED. No line of the file but the trailer's label begins
// with ':', so no definition can make a label of its own.
//
// A command has failed when its exit status is not 0, whether above 0 or below
// (IF ERRORLEVEL 1 is true only above 0). The check tests the status with IF
// ERRORLEVEL rather than with ||, which some command interpreters (Wine's)
// take for &, and sets the counts with SET /A: neither parses a text twice, and
// delayed expansion stays off (SETLOCAL), so that a ! in a name stays a !.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_CHECK_H_
#define DEFSHIFTCORE_ADMSA_TRAN_CHECK_H_

#include <string>

// The lines written after the header, before the first definition, in order,
// ended by a null entry. Written as they stand: ScriptEscape would spoil them.
extern const char* const CheckHeader[];

// Appends to *rLine, a tavoadd or tavoupdate line as the command file holds it
// (escaped), the check of definition Definition (from 1): it counts the
// command as passed or failed and marks the definition when it failed.
void AppendCommandCheck(int Definition, std::string* rLine);

// Appends to *rLine the recap line of definition Definition, not yet escaped:
// when the definition has been marked, it prints "Failed: <Code> <Name>". The
// line is written as ScriptWriteLine writes it.
void AppendFailureLine(int Definition, const char* Code, const char* Name, std::string* rLine);

// The trailer, as it stands: the lines before the recap lines of the
// definitions, and the lines after them, each ended by a null entry.
extern const char* const CheckTrailerHead[];
extern const char* const CheckTrailerTail[];

#endif  // DEFSHIFTCORE_ADMSA_TRAN_CHECK_H_
