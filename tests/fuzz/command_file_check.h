// The checks of the migration target on the command file an input gave.
//
// Every input must give a command file that the command interpreter reads as the
// generator meant: each line one of the generator's own kinds, without control
// characters, within the line limit, with nothing in it that the interpreter acts
// on, and every resource named. A line that is not so is a fault of the
// generator: Fault reports it and ends the process, and the fuzzer keeps the input.
#ifndef TESTS_FUZZ_COMMAND_FILE_CHECK_H_
#define TESTS_FUZZ_COMMAND_FILE_CHECK_H_

#include <string>

// Checks every line of the command file all, written for region.
void CheckCommandFile(const std::string& all, const char* region);

// Reports a fault of the generator or of the account, what it is and the line
// it is in, and ends the process.
[[noreturn]] void Fault(const char* what, const std::string& line);

#endif  // TESTS_FUZZ_COMMAND_FILE_CHECK_H_
