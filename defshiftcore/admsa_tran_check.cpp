#include "admsa_tran_check.h"

#include <cstring>

#include "admsa_tran_escape.h"

namespace {

// clang-format off
const char* const kCheckedRemarks[] = {
  "@REM  Every tavoadd and tavoupdate command is checked: the file goes on after a",
  "@REM  command that fails and names its line, and at its end prints how many",
  "@REM  commands failed, names each definition that had a failed command, and ends",
  "@REM  with exit status 1, or 0 when every command passed. Before the commands of",
  "@REM  each definition it shows how far the run has come.",
  nullptr,
};

const char* const kJournaledRemarks[] = {
  "@REM  beside this file: run defshift again with -j and that journal, and it",
  "@REM  writes only the commands that are left. A journal line that cannot be",
  "@REM  written stops the run. One run at a time holds the journal: the file takes",
  "@REM  the lock of the journal, a folder beside it, and runs nothing when another",
  "@REM  run holds it.",
  nullptr,
};

// After the lock: the file is ended at once, with status 1, the lock left as
// it is (the run that made it gives it back).
const char* const kLocked[] = {
  "@IF EXIST \"%DEFSHIFT_K%\" GOTO DEFSHIFT_LOCKED",
  "@VERIFY >NUL",
  "@MD \"%DEFSHIFT_K%\" 2>NUL",
  "@IF ERRORLEVEL 1 GOTO DEFSHIFT_LOCKED",
  "@GOTO DEFSHIFT_LOCK_TAKEN",
  ":DEFSHIFT_LOCKED",
  "@IF NOT EXIST \"%DEFSHIFT_K%\" ECHO The lock \"%DEFSHIFT_K%\" of the journal cannot be made: nothing is run.",
  "@IF EXIST \"%DEFSHIFT_K%\" ECHO Another run of this command file holds its journal: the lock \"%DEFSHIFT_K%\" exists. Nothing is run.",
  "@IF EXIST \"%DEFSHIFT_K%\" ECHO If no run is going on, as when a power cut ended one, remove the lock, then run the file again:",
  "@IF EXIST \"%DEFSHIFT_K%\" ECHO RD \"%DEFSHIFT_K%\"",
  nullptr,
};

// Ends the file with status 1: EXIT /B ends the file, not the interpreter: one
// started for the file (cmd /c) ends with the status, a file that CALLed it
// gets it as its ERRORLEVEL.
const char* const kStatusOne[] = {
  "@IF CMDEXTVERSION 2 EXIT /B 1",
  "@IF NOT \"%ERRORLEVEL%\"==\"\" EXIT /B 1",
  "@ENDLOCAL",
  "@VERIFY OTHER 2>NUL",
  "@GOTO DEFSHIFT_END",
  nullptr,
};

const char* const kStatusZero[] = {
  ":DEFSHIFT_NONE_FAILED",
  "@IF CMDEXTVERSION 2 EXIT /B 0",
  "@IF NOT \"%ERRORLEVEL%\"==\"\" EXIT /B 0",
  "@ENDLOCAL",
  "@VERIFY >NUL",
  ":DEFSHIFT_END",
  nullptr,
};

// Where a journal line that could not be appended stops the run: DEFSHIFT_W
// names the line of the command, DEFSHIFT_S holds the fingerprint of the line
// the journal lacks, or - when it is a tavoadd's start line (the tavoadd did
// not run).
const char* const kStopped[] = {
  ":DEFSHIFT_STOP",
  "@RD \"%DEFSHIFT_K%\" 2>NUL",
  "@ECHO Stopped: the journal \"%DEFSHIFT_J%\" cannot be written, so nothing more is run.",
  "@IF \"%DEFSHIFT_S%\"==\"-\" ECHO The tavoadd at line %DEFSHIFT_W% of %DEFSHIFT_C% did not run. Mend the journal, then run defshift again.",
  "@IF NOT \"%DEFSHIFT_S%\"==\"-\" ECHO The command at line %DEFSHIFT_W% of %DEFSHIFT_C% succeeded, but its line did not reach the journal.",
  "@IF NOT \"%DEFSHIFT_S%\"==\"-\" ECHO Mend the journal, append this line to it by hand, then run defshift again:",
  "@IF NOT \"%DEFSHIFT_S%\"==\"-\" ECHO DSJ1 %DEFSHIFT_S%",
  "@ECHO The run was stopped; %DEFSHIFT_FAILED% tavoadd/tavoupdate commands failed before it.",
  "@IF EXIST \"%DEFSHIFT_L%\" TYPE \"%DEFSHIFT_L%\"",
  // Wine's interpreter shows a label that the file runs into.
  "@GOTO DEFSHIFT_STATUS_ONE",
  nullptr,
};
// clang-format on

// More than the lines of one definition's text: the remarks (at most 38 with
// 32 attributes), its progress and start lines and at most 33 commands. The
// line numbers of its commands are below its first line's number and this, the
// number Sample shows.
constexpr long kDefinitionLines = 80;

// A journal append checked: what DEFSHIFT_S owes is set first, the line
// appended, then DEFSHIFT_S cleared by an empty append to the same journal,
// which is not run when the journal cannot be opened.
void AppendJournalLine(long Line, const char* Owed, const char* Text, const Fingerprint& Print,
                       std::string* rLine) {
  rLine->append("SET DEFSHIFT_W=");
  rLine->append(Grouped(Line));
  rLine->append("& SET DEFSHIFT_S=");
  if (Owed != nullptr) {
    rLine->append(Owed);
  } else {
    AppendFingerprint(Print, rLine);
  }
  rLine->append("& >>\"%DEFSHIFT_J%\" ECHO ");
  rLine->append(kJournalTag);
  rLine->append(Text);
  AppendFingerprint(Print, rLine);
  rLine->append("& >>\"%DEFSHIFT_J%\" SET DEFSHIFT_S=& IF DEFINED DEFSHIFT_S GOTO DEFSHIFT_STOP");
}

// Text with a caret before every character that the interpreter reads outside
// quotes, and its % as they are: the value of a variable that a line expands,
// which then reads the carets and leaves the text.
std::string Careted(const std::string& Text) {
  std::string careted;
  for (const char c : Text) {
    if (std::strchr("^&|<>()\"", c) != nullptr) careted.push_back('^');
    careted.push_back(c);
  }
  return careted;
}

// The line that sets Variable to Text as the lines that expand it must find it.
void AppendCaretedVariable(const char* Variable, const std::string& Text, std::string* rLine) {
  rLine->append("SET ");
  rLine->append(Variable);
  rLine->push_back('=');
  const std::string careted = Careted(Text);
  AppendScriptEscaped(careted.data(), careted.size(), rLine, /*Always=*/true);
}

void AppendLines(const char* const* Lines, std::string* rText) {
  for (const char* const* line = Lines; *line != nullptr; ++line) {
    rText->append(*line);
    rText->push_back('\n');
  }
}

// A remark that names File: written as the interpreter must read it.
void AppendRemark(const char* Before, const std::string& File, const char* After,
                  std::string* rText) {
  const std::string line = std::string(Before) + File + After;
  AppendScriptEscaped(line.data(), line.size(), rText);
  rText->push_back('\n');
}

// The two lines that set Variable to File: in the current folder, then, where
// the interpreter can tell it, in the folder of the command file. That folder
// is put in the line as it stands before the line is read, so the whole
// assignment is quoted: a folder such as C:\R&D stays one value. Within the
// quotes only a % needs its escape (File holds no double quote).
void AppendFileVariable(const char* Variable, const std::string& File, std::string* rText) {
  rText->append("@SET ");
  rText->append(Variable);
  rText->push_back('=');
  AppendScriptEscaped(File.data(), File.size(), rText, /*Always=*/true);
  rText->append("\n@IF CMDEXTVERSION 2 SET \"");
  rText->append(Variable);
  rText->append("=%~dp0");
  for (const char c : File) {
    if (c == '%') rText->push_back('%');
    rText->push_back(c);
  }
  rText->append("\"\n");
}

bool IsControl(unsigned char c) { return c < 32 || c == 127; }

// c in lower case, for letters A to Z.
char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether Windows takes the file names a and b for one name (letters of
// either case are one letter).
bool SameFileName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string LastPart(const char* Path) {
  const char* last = Path;
  for (const char* p = Path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\' || *p == ':') last = p + 1;
  }
  return last;
}

std::string FailureListName(const char* CommandFile, const char* JournalFile) {
  std::string name = LastPart(CommandFile);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  for (char& c : name) {
    if (IsControl(static_cast<unsigned char>(c)) || std::strchr("\"<>|*?", c) != nullptr) c = '_';
  }
  name += ".failed";
  const std::string journal = JournalFile != nullptr ? LastPart(JournalFile) : "";
  while (SameFileName(name, LastPart(CommandFile)) || SameFileName(name, journal)) {
    name += ".failed";
  }
  return name;
}

bool JournalNameWritable(const char* JournalFile, const char* CommandFile) {
  const std::string name = LastPart(JournalFile);
  if (name.empty() || SameFileName(name, LastPart(CommandFile))) return false;
  for (const char c : name) {
    if (c == '"' || IsControl(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string LockName(const char* JournalFile, const char* CommandFile) {
  std::string name = LastPart(JournalFile) + ".lock";
  while (SameFileName(name, LastPart(CommandFile))) name += ".lock";
  return name;
}

std::string Grouped(long Number) {
  std::string digits = std::to_string(Number);
  for (size_t at = digits.size(); at > 3 && digits[at - 4] != '-'; at -= 3) {
    digits.insert(at - 3, 1, ',');
  }
  return digits;
}

void AppendCheckHeader(const char* CommandFile, const char* JournalFile, std::string* rText) {
  const std::string failures = FailureListName(CommandFile, JournalFile);
  AppendLines(kCheckedRemarks, rText);
  AppendRemark("@REM  Their names are also kept in ", failures, ", beside this file.", rText);
  std::string journal;
  if (JournalFile != nullptr) {
    journal = LastPart(JournalFile);
    AppendRemark("@REM  Every command that succeeds appends its fingerprint to the journal ",
                 journal, ",", rText);
    AppendLines(kJournaledRemarks, rText);
  }
  rText->append(
      "@REM  On Windows NT 4.0 these files are in the current folder instead.\n"
      "@SETLOCAL\n"
      "@IF CMDEXTVERSION 2 SETLOCAL ENABLEEXTENSIONS DISABLEDELAYEDEXPANSION\n"
      "@SET ERRORLEVEL=\n");
  AppendFileVariable("DEFSHIFT_L", failures, rText);
  rText->push_back('@');
  AppendCaretedVariable("DEFSHIFT_C", LastPart(CommandFile), rText);
  rText->append("\n@SET DEFSHIFT_N=\n");
  if (JournalFile != nullptr) {
    AppendFileVariable("DEFSHIFT_J", journal, rText);
    AppendFileVariable("DEFSHIFT_K", LockName(JournalFile, CommandFile), rText);
    rText->append("@SET DEFSHIFT_W=\n@SET DEFSHIFT_S=\n");
    AppendLines(kLocked, rText);
    AppendLines(kStatusOne, rText);
    rText->append(":DEFSHIFT_LOCK_TAKEN\n");
  }
  rText->append(
      "@IF EXIST \"%DEFSHIFT_L%\" DEL \"%DEFSHIFT_L%\"\n"
      "@SET /A DEFSHIFT_FAILED=0, DEFSHIFT_FD=0\n"
      "\n");
}

void AppendCheckTrailer(long Commands, bool Journaled, std::string* rText) {
  rText->push_back('\n');
  if (Journaled) {
    rText->append(
        "@>>\"%DEFSHIFT_J%\" ECHO DSJ1 end\n"
        "@RD \"%DEFSHIFT_K%\" 2>NUL\n");
  }
  rText->append("@ECHO %DEFSHIFT_FAILED% of ");
  rText->append(std::to_string(Commands));
  rText->append(
      " tavoadd/tavoupdate commands failed\n"
      "@IF EXIST \"%DEFSHIFT_L%\" TYPE \"%DEFSHIFT_L%\"\n"
      "@IF \"%DEFSHIFT_FAILED%\"==\"0\" GOTO DEFSHIFT_NONE_FAILED\n");
  if (Journaled) {
    rText->append("@GOTO DEFSHIFT_STATUS_ONE\n");
    AppendLines(kStopped, rText);
    rText->append(":DEFSHIFT_STATUS_ONE\n");
  }
  AppendLines(kStatusOne, rText);
  AppendLines(kStatusZero, rText);
}

void CommandChecks::Place(long Place, long Total, const char* Code, const char* Name,
                          long FirstLine) {
  place_ = Place;
  total_ = Total;
  shown_ = Code;
  shown_.push_back(' ');
  shown_.append(Name);
  first_line_ = FirstLine;
}

void CommandChecks::AppendProgress(std::string* rText) const {
  // The definition's name is kept for the failure lines of its commands.
  rText->push_back('@');
  AppendCaretedVariable("DEFSHIFT_N", shown_, rText);
  const long percent = total_ > 0 ? static_cast<long>(place_ * 100LL / total_) : 100;
  std::string text = "[" +
                     std::string(percent < 10    ? 2
                                 : percent < 100 ? 1
                                                 : 0,
                                 ' ') +
                     std::to_string(percent) + "%] " + Grouped(place_) + " of " + Grouped(total_) +
                     "  " + shown_;
  rText->append("& ECHO ");
  // The text begins with '[', so that ECHO never takes it for ON, OFF or /?.
  AppendScriptEscaped(text.data(), text.size(), rText, /*Always=*/true);
  rText->push_back('\n');
}

void CommandChecks::AppendStart(const Fingerprint& Print, long Line, std::string* rText) const {
  rText->push_back('@');
  AppendJournalLine(Line, "-", kJournalStart, Print, rText);
  rText->push_back('\n');
}

void CommandChecks::Append(const Fingerprint* Print, long Line, const char* Program,
                           std::string* rLine) const {
  // Failed above 0, passed at 0, failed below 0.
  std::string failed = "(SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=";
  failed.append(std::to_string(definition_));
  failed.append("& ECHO Failed at line ");
  failed.append(Grouped(Line));
  failed.append(" of %DEFSHIFT_C%: ");
  failed.append(Program);
  failed.append(" %DEFSHIFT_N%)");
  rLine->append(" & IF ERRORLEVEL 1 ");
  rLine->append(failed);
  if (Print != nullptr) {
    rLine->append(" ELSE IF ERRORLEVEL 0 (");
    AppendJournalLine(Line, nullptr, "", *Print, rLine);
    rLine->append(") ELSE ");
  } else {
    rLine->append(" ELSE IF NOT ERRORLEVEL 0 ");
  }
  rLine->append(failed);
}

std::string CommandChecks::Sample() const {
  std::string suffix;
  const Fingerprint print{};
  Append(journal_ != nullptr ? &print : nullptr, first_line_ + kDefinitionLines, "tavoupdate",
         &suffix);
  // The '@' the line begins with.
  suffix.push_back(' ');
  return suffix;
}

void AppendFailureLine(int Definition, const char* Code, const char* Name, std::string* rLine) {
  rLine->append("@IF \"%DEFSHIFT_FD%\"==\"");
  rLine->append(std::to_string(Definition));
  rLine->append("\" >>\"%DEFSHIFT_L%\" ECHO ");
  // The text begins with a word of its own, so that ECHO never takes a name for
  // ON, OFF or /?.
  std::string text = "Failed: ";
  text.append(Code);
  text.push_back(' ');
  text.append(Name);
  AppendScriptEscaped(text.data(), text.size(), rLine, /*Always=*/true);
}
