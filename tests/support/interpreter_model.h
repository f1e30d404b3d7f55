// A model of how the command interpreter reads one line of a command file, for
// tests of what the generated command file makes the interpreter do.
#ifndef TESTS_SUPPORT_INTERPRETER_MODEL_H_
#define TESTS_SUPPORT_INTERPRETER_MODEL_H_

#include <string>

// Reads line as the interpreter reads a line of a command file (delayed
// expansion off) and, when the line is one command whose text reaches the
// program untouched by the interpreter, stores that text in *handed and returns
// true. Returns false, with the reason in *why, when the interpreter would act on
// something in the line: a % that is not part of %% (a variable or parameter), a
// ^ at the end (joins the next line), an & | < > outside double quotes (a second
// command, a pipe, a redirection), or a carriage return or line feed. Percent
// pairs become one %; outside quotes a caret gives the next character as it is
// (so ^" does not open quotes); a " that is not escaped switches the quoted
// state, inside which every character is plain.
bool Interpret(const std::string& line, std::string* handed, std::string* why);

#endif  // TESTS_SUPPORT_INTERPRETER_MODEL_H_
