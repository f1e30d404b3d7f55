// The record layouts of the source tables as ctfimage shows them: every field
// with its place, type, range and code list, and the attributes the translation
// makes of it, read from the layouts and the translation rule tables themselves.
// Also resolves the attribute names that descriptions may give instead of ids.
#ifndef TOOLS_CTF_FIELDS_H_
#define TOOLS_CTF_FIELDS_H_

#include <string>
#include <vector>

namespace ctffields {

// One thing the translation does with a field of a table's records.
struct FieldUse {
  int field;      // the field id in the layout of the records' table
  int cls;        // resource class id
  int pred;       // attribute id; meaningless for a filter
  bool filter;    // the rule only decides whether the record gives a definition
  bool spread;    // the value goes to every definition of the class made before
  int via_table;  // the layout the rule names the field by (the records' own, or another)
  int via_field;  // the field id in that layout
};

// Everything the translation does with the fields of the records of table tid
// (0 to 8), in the order the rules run. A rule that names a field by another
// layout is given under the field of tid's layout that holds its bytes, as the
// translation reads it; one whose bytes no field holds is left out. A use that
// several rule sets make is given once.
std::vector<FieldUse> UsesOf(int tid);

// The field of table tid that the attribute name stands for. Returns 1 and sets
// *field when exactly one field gives an attribute of that name, 0 when none
// does, -1 with *error naming the field ids when several do.
int FieldOfName(int tid, const std::string& name, int* field, std::string* error);

// The listing of table tid: a heading with its key character and name, then one
// line per field id (the first entry of an id), then the attributes that no field
// gives.
std::string Listing(int tid);

// ctfimage fields [KEY]: the listing of the table whose key character KEY is, or
// of every table after the resource classes. Returns the exit status: 0, or 1
// after a message on standard error.
int FieldsCommand(const char* key);

}  // namespace ctffields

#endif  // TOOLS_CTF_FIELDS_H_
