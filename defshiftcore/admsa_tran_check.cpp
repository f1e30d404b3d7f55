#include "admsa_tran_check.h"

// clang-format off
const char* const CheckHeader[] = {
  "@REM  Every tavoadd and tavoupdate command is checked: the file goes on after a",
  "@REM  command that fails, and at its end prints how many commands failed, names",
  "@REM  each definition that had a failed command, and ends with exit status 1, or",
  "@REM  0 when every command passed.",
  "@SETLOCAL ENABLEEXTENSIONS DISABLEDELAYEDEXPANSION",
  // Markers of an earlier run that the environment holds are cleared: SET
  // lists at least the one set first, and complains of nothing.
  "@SET DEFSHIFT_F=1",
  "@FOR /F \"delims==\" %%V IN ('SET DEFSHIFT_') DO @SET %%V=",
  "@SET /A DEFSHIFT_FAILED=0, DEFSHIFT_PASSED=0",
  "",
  nullptr,
};

const char* const CheckTrailerHead[] = {
  "",
  "@SET /A DEFSHIFT_RUN=DEFSHIFT_FAILED+DEFSHIFT_PASSED",
  "@ECHO %DEFSHIFT_FAILED% of %DEFSHIFT_RUN% tavoadd/tavoupdate commands failed",
  "@IF %DEFSHIFT_FAILED% EQU 0 GOTO DEFSHIFT_NONE_FAILED",
  nullptr,
};

// EXIT /B ends the file, not the interpreter: one started for the file (cmd /c)
// ends with the status, a file that CALLed it gets it as its ERRORLEVEL.
const char* const CheckTrailerTail[] = {
  "@ENDLOCAL",
  "@EXIT /B 1",
  ":DEFSHIFT_NONE_FAILED",
  "@ENDLOCAL",
  "@EXIT /B 0",
  nullptr,
};
// clang-format on

namespace {

void AppendMarker(int Definition, std::string* rLine) {
  rLine->append("DEFSHIFT_F");
  rLine->append(std::to_string(Definition));
}

}  // namespace

void AppendCommandCheck(int Definition, std::string* rLine) {
  // Failed above 0, passed at 0, failed below 0.
  std::string failed = "SET /A DEFSHIFT_FAILED+=1, ";
  AppendMarker(Definition, &failed);
  failed.append("=1");
  rLine->append(" & IF ERRORLEVEL 1 (");
  rLine->append(failed);
  rLine->append(") ELSE IF ERRORLEVEL 0 (SET /A DEFSHIFT_PASSED+=1) ELSE ");
  rLine->append(failed);
}

void AppendFailureLine(int Definition, const char* Code, const char* Name, std::string* rLine) {
  rLine->append("@IF DEFINED ");
  AppendMarker(Definition, rLine);
  // The text begins with a word of its own, so that ECHO never takes a name for
  // ON, OFF or /?.
  rLine->append(" ECHO Failed: ");
  rLine->append(Code);
  rLine->push_back(' ');
  rLine->append(Name);
}
