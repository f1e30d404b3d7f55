#include "admsa_tran_check.h"

#include <cstring>

#include "admsa_tran_escape.h"

namespace {

// clang-format off
const char* const kCheckedRemarks[] = {
  "@REM  Every tavoadd and tavoupdate command is checked: the file goes on after a",
  "@REM  command that fails, and at its end prints how many commands failed, names",
  "@REM  each definition that had a failed command, and ends with exit status 1, or",
  "@REM  0 when every command passed.",
  nullptr,
};

const char* const kTrailer[] = {
  "",
  "@SET /A DEFSHIFT_RUN=DEFSHIFT_FAILED+DEFSHIFT_PASSED",
  "@ECHO %DEFSHIFT_FAILED% of %DEFSHIFT_RUN% tavoadd/tavoupdate commands failed",
  "@IF EXIST \"%DEFSHIFT_L%\" TYPE \"%DEFSHIFT_L%\"",
  "@IF \"%DEFSHIFT_FAILED%\"==\"0\" GOTO DEFSHIFT_NONE_FAILED",
  // EXIT /B ends the file, not the interpreter: one started for the file (cmd
  // /c) ends with the status, a file that CALLed it gets it as its ERRORLEVEL.
  "@IF CMDEXTVERSION 2 EXIT /B 1",
  "@IF NOT \"%ERRORLEVEL%\"==\"\" EXIT /B 1",
  "@ENDLOCAL",
  "@VERIFY OTHER 2>NUL",
  "@GOTO DEFSHIFT_END",
  ":DEFSHIFT_NONE_FAILED",
  "@IF CMDEXTVERSION 2 EXIT /B 0",
  "@IF NOT \"%ERRORLEVEL%\"==\"\" EXIT /B 0",
  "@ENDLOCAL",
  "@VERIFY >NUL",
  ":DEFSHIFT_END",
  nullptr,
};
// clang-format on

const char kPassed[] = ") ELSE IF ERRORLEVEL 0 (SET /A DEFSHIFT_PASSED+=1";
const char kJournalAppend[] = " & >>\"%DEFSHIFT_J%\" ECHO ";

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

// Counts a failed command of definition Definition.
void AppendFailed(int Definition, std::string* rLine) {
  rLine->append("SET /A DEFSHIFT_FAILED+=1, DEFSHIFT_FD=");
  rLine->append(std::to_string(Definition));
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

void AppendCheckHeader(const char* CommandFile, const char* JournalFile, std::string* rText) {
  const std::string failures = FailureListName(CommandFile, JournalFile);
  AppendLines(kCheckedRemarks, rText);
  AppendRemark("@REM  Their names are also kept in ", failures, ", beside this file.", rText);
  std::string journal;
  if (JournalFile != nullptr) {
    journal = LastPart(JournalFile);
    AppendRemark("@REM  Every command that succeeds appends its fingerprint to the journal ",
                 journal, ",", rText);
    rText->append(
        "@REM  beside this file: run defshift again with -j and that journal, and it\n"
        "@REM  writes only the commands that are left.\n");
  }
  rText->append(
      "@REM  On Windows NT 4.0 these files are in the current folder instead.\n"
      "@SETLOCAL\n"
      "@IF CMDEXTVERSION 2 SETLOCAL ENABLEEXTENSIONS DISABLEDELAYEDEXPANSION\n"
      "@SET ERRORLEVEL=\n");
  AppendFileVariable("DEFSHIFT_L", failures, rText);
  if (JournalFile != nullptr) AppendFileVariable("DEFSHIFT_J", journal, rText);
  rText->append(
      "@IF EXIST \"%DEFSHIFT_L%\" DEL \"%DEFSHIFT_L%\"\n"
      "@SET /A DEFSHIFT_FAILED=0, DEFSHIFT_PASSED=0, DEFSHIFT_FD=0\n"
      "\n");
}

void AppendCheckTrailer(std::string* rText) { AppendLines(kTrailer, rText); }

void CommandChecks::Append(const Fingerprint* Print, std::string* rLine) const {
  // Failed above 0, passed at 0, failed below 0.
  rLine->append(" & IF ERRORLEVEL 1 (");
  AppendFailed(definition_, rLine);
  rLine->append(kPassed);
  if (Print != nullptr) {
    rLine->append(kJournalAppend);
    rLine->append(kJournalTag);
    AppendFingerprint(*Print, rLine);
  }
  rLine->append(") ELSE ");
  AppendFailed(definition_, rLine);
}

std::string CommandChecks::Sample() const {
  std::string suffix;
  const Fingerprint print{};
  Append(journal_ != nullptr ? &print : nullptr, &suffix);
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
  auto command = Lines.commands().begin();
  for (const size_t end : Lines.ends()) {
    const char* text = all.data() + start;
    const size_t length = end - 1 - start;
    start = end;
    if (command == Lines.commands().end() || *command != line++) {
      AppendScriptEscaped(text, length, rText);
      rText->push_back('\n');
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
    ++counts.written;
    AppendJoinEscaped(text, length, rText);
    Checks.Append(journal != nullptr ? &print : nullptr, rText);
    rText->push_back('\n');
  }
  if (counts.written == 0 && counts.left_out > 0) rText->resize(from);
  return counts;
}
