// The readable description of a control file: one raw record per line, written
// by field id through the record layouts of the source tables. tools/README.md
// gives the syntax.
#ifndef TOOLS_CTF_DESCRIPTION_H_
#define TOOLS_CTF_DESCRIPTION_H_

#include <string>

namespace ctfdesc {

// Parses one line of a description (without its newline). Returns 1 and sets
// *record to the raw record the line describes, 0 for a line that describes
// nothing (blank or comment), or -1 with *error set to what is wrong with it.
int ParseLine(const std::string& line, std::string* record, std::string* error);

// The description line of one raw record (at most 1024 bytes), without newline.
// ParseLine of the line gives back exactly the same bytes.
std::string FormatRecord(const std::string& record);

}  // namespace ctfdesc

#endif  // TOOLS_CTF_DESCRIPTION_H_
