#include "admsa_tran_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "admsa_tran_check_files.h"
#include "admsa_tran_escape.h"
#include "admsa_tran_grouped.h"

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

// The longest class code and name that a failure line names whole.
constexpr size_t kFailureName = 48;

// The two halves of a journal append checked, kept in DEFSHIFT_D and
// DEFSHIFT_E once the journal's name is known: the append of a line (the rest
// of it follows), and DEFSHIFT_S cleared by an empty append to the journal,
// which is not run when the journal cannot be opened, and the stop when it
// was not. The name is put in before the lines are read, so it stands quoted.
const char kAppendLine[] = "@SET DEFSHIFT_D=^>^>\"%DEFSHIFT_J%\" ECHO DSJ1\n";
const char kAppendChecked[] =
    "@SET DEFSHIFT_E=^>^>\"%DEFSHIFT_J%\" SET DEFSHIFT_S=^& IF DEFINED DEFSHIFT_S GOTO "
    "DEFSHIFT_STOP\n";

// The parts of a command's check that are the same on every line, kept in
// variables: its status tested and the start of the failure line (DEFSHIFT_I),
// then, after the failure line's number and text, the test of a status below 0
// and its failure line (DEFSHIFT_Q); journaled, the test of status 0 and the
// line noted (DEFSHIFT_P) and, after the fingerprint's append, its check, and
// the failure line of a status below 0 (DEFSHIFT_R). The check of a line reads
// as one, once they are put in.
const char kCheckParts[] = "@SET DEFSHIFT_I=IF ERRORLEVEL 1 ^(ECHO Failed at line\n";
const char kCheckPartsChecked[] =
    "@SET DEFSHIFT_Q=^) ELSE IF NOT ERRORLEVEL 0 ^(ECHO Failed at line\n";
const char kCheckPartsJournaled[] =
    "@SET DEFSHIFT_P=^) ELSE IF ERRORLEVEL 0 ^(SET DEFSHIFT_W=\n"
    "@SET DEFSHIFT_R=^>^>\"%DEFSHIFT_J%\" SET DEFSHIFT_S=^& IF DEFINED DEFSHIFT_S GOTO "
    "DEFSHIFT_STOP^) ELSE ^(ECHO Failed at line\n";

// A journal append checked: what DEFSHIFT_S owes is set first (Owed, or the
// fingerprint), the line Text and Digits appended, then the check.
void AppendJournalLine(const std::string& Line, const char* Owed, const char* Text,
                       const char* Digits, std::string* rLine) {
  rLine->append("SET DEFSHIFT_W=");
  rLine->append(Line);
  rLine->append("& SET DEFSHIFT_S=");
  rLine->append(Owed != nullptr ? Owed : Digits,
                Owed != nullptr ? std::strlen(Owed) : kFingerprintDigits);
  rLine->append("& %DEFSHIFT_D% ");
  rLine->append(Text);
  rLine->append(Digits, kFingerprintDigits);
  rLine->append("& %DEFSHIFT_E%");
}

// Text as AppendCareted appends it.
std::string Careted(const std::string& Text) {
  std::string careted;
  AppendCareted(Text.data(), Text.size(), &careted);
  return careted;
}

// The command that sets Variable to Value, which the interpreter then holds
// exactly.
void AppendSet(const char* Variable, const std::string& Value, std::string* rLine) {
  rLine->append("SET ");
  rLine->append(Variable);
  rLine->push_back('=');
  AppendScriptEscaped(Value.data(), Value.size(), rLine, /*Always=*/true);
}

// What the failure line of a Program command names after the line number,
// with the program: " of <command file>: <program>".
std::string FailedIn(const std::string& CommandFile, const char* Program) {
  return " of " + CommandFile + ": " + Program;
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

}  // namespace

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
  // The failure lines' text after the line number, kept with its carets: the
  // name of the file and the program, then the definition's (DEFSHIFT_N).
  const std::string file = Careted(LastPart(CommandFile));
  rText->push_back('@');
  AppendSet("DEFSHIFT_A", FailedIn(file, "tavoadd"), rText);
  rText->append("\n@");
  AppendSet("DEFSHIFT_U", FailedIn(file, "tavoupdate"), rText);
  rText->append("\n@SET DEFSHIFT_N=\n");
  rText->append(kCheckParts);
  if (JournalFile == nullptr) rText->append(kCheckPartsChecked);
  if (JournalFile != nullptr) {
    AppendFileVariable("DEFSHIFT_J", journal, rText);
    AppendFileVariable("DEFSHIFT_K", LockName(JournalFile, CommandFile), rText);
    rText->append("@SET DEFSHIFT_W=\n@SET DEFSHIFT_S=\n");
    rText->append(kAppendLine);
    rText->append(kAppendChecked);
    rText->append(kCheckPartsJournaled);
    AppendLines(kLocked, rText);
    AppendLines(kStatusOne, rText);
    rText->append(":DEFSHIFT_LOCK_TAKEN\n");
  }
  rText->append(
      "@IF EXIST \"%DEFSHIFT_L%\" DEL \"%DEFSHIFT_L%\"\n"
      "@SET /A DEFSHIFT_FAILED=0, DEFSHIFT_FD=0\n"
      "\n");
}

void AppendCheckTrailer(const char* CommandFile, long Commands, bool Journaled,
                        std::string* rText) {
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
    rText->append(
        "@GOTO DEFSHIFT_STATUS_ONE\n"
        ":DEFSHIFT_STOP\n"
        "@RD \"%DEFSHIFT_K%\" 2>NUL\n"
        "@ECHO Stopped: the journal \"%DEFSHIFT_J%\" cannot be written, so nothing more is run.\n");
    // The name of the command file as ECHO must find it.
    std::string file;
    const std::string name = LastPart(CommandFile);
    AppendScriptEscaped(name.data(), name.size(), &file, /*Always=*/true);
    rText->append("@IF \"%DEFSHIFT_S%\"==\"-\" ECHO The tavoadd at line %DEFSHIFT_W% of ");
    rText->append(file);
    rText->append(" did not run. Mend the journal, then run defshift again.\n");
    rText->append("@IF NOT \"%DEFSHIFT_S%\"==\"-\" ECHO The command at line %DEFSHIFT_W% of ");
    rText->append(file);
    rText->append(" succeeded, but its line did not reach the journal.\n");
    AppendLines(kStopped, rText);
    rText->append(":DEFSHIFT_STATUS_ONE\n");
  }
  AppendLines(kStatusOne, rText);
  AppendLines(kStatusZero, rText);
}

void CommandChecks::Place(long Place, long Total, const char* Code, const char* Name,
                          long FirstLine, const char* CommandFile) {
  place_ = Place;
  total_ = Total;
  shown_ = Code;
  shown_.push_back(' ');
  shown_.append(Name);
  first_line_ = FirstLine;
  const std::string file = LastPart(CommandFile);
  // The number as SET /A reads it: without groups.
  const std::string counted =
      "& SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=" + std::to_string(definition_);
  // A line is read within the interpreter's limit after its variables are
  // expanded too, and a failure line holds the name twice: a long name (a
  // region of up to 200 characters) is cut there; the progress line just
  // before shows it whole.
  const size_t cut = std::min(shown_.size(), kFailureName);
  name_value_.assign(1, ' ');
  AppendCareted(shown_.data(), cut, &name_value_);
  if (cut < shown_.size()) name_value_.append("...");
  name_value_.append(counted);
  const std::string named = shown_.substr(0, cut) + (cut < shown_.size() ? "..." : "");
  // Wine's interpreter expands a % that a variable's value holds once more:
  // the failure lines of such a name hold its text instead, where the line
  // stays within the interpreter's limit with it (Append). The interpreters of
  // Windows expand a value once, and print the name exactly either way.
  add_literal_.clear();
  update_literal_.clear();
  if (shown_.find('%') == std::string::npos && file.find('%') == std::string::npos) return;
  for (std::string* literal : {&add_literal_, &update_literal_}) {
    const std::string text =
        FailedIn(file, literal == &add_literal_ ? "tavoadd" : "tavoupdate") + " " + named;
    AppendScriptEscaped(text.data(), text.size(), literal, /*Always=*/true);
    literal->append(counted);
  }
}

void CommandChecks::AppendProgress(std::string* rText) const {
  // The definition's name, and how its failed commands are counted, for the
  // failure lines of its commands.
  rText->push_back('@');
  AppendSet("DEFSHIFT_N", name_value_, rText);
  rText->append("& ");
  const long percent = total_ > 0 ? static_cast<long>(place_ * 100LL / total_) : 100;
  // The text begins with '[', so that ECHO never takes it for ON, OFF or /?;
  // its % is doubled, as the name's characters are escaped.
  rText->append(percent < 10 ? "ECHO [  " : percent < 100 ? "ECHO [ " : "ECHO [");
  AppendGrouped(percent, rText);
  rText->append("%%] ");
  AppendGrouped(place_, rText);
  rText->append(" of ");
  AppendGrouped(total_, rText);
  rText->append("  ");
  AppendScriptEscaped(shown_.data(), shown_.size(), rText, /*Always=*/true);
  rText->push_back('\n');
}

void CommandChecks::AppendStart(const Fingerprint& Print, long Line, std::string* rText) const {
  char digits[kFingerprintDigits];
  FingerprintDigits(Print, digits);
  rText->push_back('@');
  AppendJournalLine(Grouped(Line), "-", kJournalStart, digits, rText);
  rText->push_back('\n');
}

void CommandChecks::Append(const Fingerprint* Print, long Line, const char* Program,
                           std::string* rLine) const {
  const bool add = std::strcmp(Program, "tavoadd") == 0;
  const std::string& literal = add ? add_literal_ : update_literal_;
  if (!literal.empty()) {
    // The name's text, when the line stays within the limit with it.
    std::string check;
    AppendCheck(Print, Line, literal, &check);
    const size_t start = rLine->rfind('\n') + 1;  // 0 when none
    if (rLine->size() - start + check.size() <= kInterpreterLineLimit) {
      rLine->append(check);
      return;
    }
  }
  AppendCheck(Print, Line, add ? "%DEFSHIFT_A%%DEFSHIFT_N%" : "%DEFSHIFT_U%%DEFSHIFT_N%", rLine);
}

void CommandChecks::AppendCheck(const Fingerprint* Print, long Line, const std::string& Tail,
                                std::string* rLine) {
  std::string line;
  AppendGrouped(Line, &line);
  // Failed above 0, passed at 0, failed below 0; the tail of the failure line
  // counts the failure and notes the definition (kCheckParts).
  rLine->append(" & %DEFSHIFT_I% ");
  rLine->append(line);
  rLine->append(Tail);
  if (Print != nullptr) {
    char digits[kFingerprintDigits];
    FingerprintDigits(*Print, digits);
    rLine->append("%DEFSHIFT_P%");
    rLine->append(line);
    rLine->append("& SET DEFSHIFT_S=");
    rLine->append(digits, kFingerprintDigits);
    rLine->append("& %DEFSHIFT_D% ");
    rLine->append(digits, kFingerprintDigits);
    rLine->append("& %DEFSHIFT_R% ");
  } else {
    rLine->append("%DEFSHIFT_Q% ");
  }
  rLine->append(line);
  rLine->append(Tail);
  rLine->push_back(')');
}

std::string CommandChecks::Sample() const {
  std::string suffix;
  const Fingerprint print{};
  // The longer of the two forms.
  AppendCheck(journal_ != nullptr ? &print : nullptr, first_line_ + kDefinitionLines,
              update_literal_.empty() ? "%DEFSHIFT_U%%DEFSHIFT_N%" : update_literal_, &suffix);
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

CheckCounts AppendChecked(const ScriptLines& Lines, const CommandChecks& Checks,
                          std::string* rText) {
  CheckCounts counts;
  const size_t from = rText->size();
  const std::string& all = Lines.text();
  Journal* const journal = Checks.journal();
  size_t start = 0;
  size_t line = 0;
  long number = Checks.first_line();  // in the file, of the next line appended
  auto command = Lines.commands().begin();
  for (const size_t end : Lines.ends()) {
    const char* text = all.data() + start;
    const size_t length = end - 1 - start;
    start = end;
    if (command == Lines.commands().end() || *command != line++) {
      AppendScriptEscaped(text, length, rText);
      rText->push_back('\n');
      ++number;
      continue;
    }
    ++command;
    // The fingerprint is taken of the line as the program's runtime reads it,
    // before the interpreter's escapes.
    Fingerprint print;
    if (journal != nullptr) {
      print = CommandFingerprint(text, length);
      if (journal->Holds(print)) {
        ++counts.left_out;
        continue;
      }
    }
    if (counts.written++ == 0) {
      Checks.AppendProgress(rText);
      ++number;
    }
    const bool add = length > 8 && std::strncmp(text, "tavoadd ", 8) == 0;
    if (add && journal != nullptr) {
      Checks.AppendStart(print, number + 1, rText);
      ++number;
      if (journal->InDoubt(print)) {
        counts.in_doubt = true;
        counts.doubt = print;
      }
    }
    // Shown by no interpreter, whatever its ECHO.
    rText->push_back('@');
    AppendJoinEscaped(text, length, rText);
    Checks.Append(journal != nullptr ? &print : nullptr, number, add ? "tavoadd" : "tavoupdate",
                  rText);
    rText->push_back('\n');
    ++number;
  }
  // A definition whose every command the journal holds leaves no line behind.
  if (counts.written == 0 && counts.left_out > 0) rText->resize(from);
  return counts;
}
