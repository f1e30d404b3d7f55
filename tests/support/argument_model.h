// A model of how a Windows program built with the C runtime splits its command
// line into arguments, for tests of what tavoadd and tavoupdate receive. It is
// written from the runtime's rules alone and shares nothing with the library.
#ifndef TESTS_SUPPORT_ARGUMENT_MODEL_H_
#define TESTS_SUPPORT_ARGUMENT_MODEL_H_

#include <string>
#include <vector>

// Splits line into *args as the C runtime does: blanks and tabs outside double
// quotes separate arguments; a " that follows an even number of backslashes
// (2n) gives n backslashes and opens or closes a quoted stretch; one that
// follows an odd number (2n+1) gives n backslashes and a plain "; backslashes
// anywhere else stand for themselves; "" makes an empty argument. Returns false,
// with the reason in *why, for a line whose meaning differs between versions of
// the runtime: a "" inside a quoted stretch.
bool SplitArguments(const std::string& line, std::vector<std::string>* args, std::string* why);

// As above, for a caller that splits many lines into the same vector: the
// arguments are the first *count strings of *args, and the strings after them are
// left as they were, so that their storage serves later lines.
bool SplitArguments(const std::string& line, std::vector<std::string>* args, size_t* count,
                    std::string* why);

#endif  // TESTS_SUPPORT_ARGUMENT_MODEL_H_
