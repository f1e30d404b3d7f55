// The checks of the migration target on the account an input gave.
//
// Every input must give an account that holds every record the reader was
// handed, by its ordinal, and a row for every definition the writer checked,
// and that agrees with the report's counts: per class the definitions checked
// and migrated, and the records and definitions of the account's closing line.
// An account that is not so is a fault: Fault (command_file_check.h) reports it
// and ends the process.
#ifndef TESTS_FUZZ_ACCOUNT_CHECK_H_
#define TESTS_FUZZ_ACCOUNT_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Checks the account csv of a run over records raw records, against the part
// of its report that the command file writer gave (from the first class title
// to the account's closing line).
void CheckAccount(const std::string& csv, const std::string& report, uint32_t records);

#endif  // TESTS_FUZZ_ACCOUNT_CHECK_H_
