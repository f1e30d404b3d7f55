// How many attributes a tavoupdate line carries when the command file packs
// them (defshift -p): as many, in their order, as keep the line within what
// the command interpreter of Windows NT 4.0 and 2000 reads, as the file holds
// the line (escaped) and with whatever the file adds to its end (the check of
// a checked command file). Each line started costs a program start, which
// opens the region's database: fewer lines make a shorter run.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_PACK_H_
#define DEFSHIFTCORE_ADMSA_TRAN_PACK_H_

#include <cstddef>
#include <string>

#include "admsa_tran_escape.h"

// A packed line stays within the longest line that the interpreter of Windows
// NT 4.0 and 2000 reads, its end of line not counted.
constexpr size_t kPackedLineLimit = kInterpreterLineLimit;

// A command line as it is composed, measured as the command file will hold it:
// escaped as AppendScriptEscaped escapes it (admsa_tran_escape.h) when it holds
// one of % ^ & | < > or, followed by a Suffix, when NeedsEscapeBeforeJoin finds
// it must be, and then followed by the Suffix as it stands. Pieces are measured
// as they are appended, each byte once; a copy measures a longer line without
// changing the original.
class LineMeasure {
 public:
  // Suffix: what the file appends to the escaped line, or null for nothing.
  // The measure keeps only its length.
  explicit LineMeasure(const std::string* Suffix);

  // The Length bytes at Text now end the line.
  void Append(const char* Text, size_t Length);
  // The length of the line in the file, Suffix included, its newline not.
  size_t Written() const;

 private:
  size_t suffix_;     // length of the Suffix
  bool joined_;       // a Suffix follows: NeedsEscapeBeforeJoin applies
  size_t plain_;      // bytes as composed
  size_t escapes_;    // bytes that escaping doubles: % ^ & | < > ( ) "
  bool special_;      // one of % ^ & | < >: the line is escaped
  bool quoted_;       // the interpreter reads the line's end within quotes
  bool parenthesis_;  // a parenthesis outside quotes
};

// The number of arguments, from the first of the Count (at least 1) that follow
// each other at Arguments, argument i being Lengths[i] bytes with its leading
// blank, that the command line beginning with Head carries: as many as keep
// the line, as LineMeasure with Suffix finds it, within kPackedLineLimit, and
// at least one, since an argument that cannot share a line has one of its own.
int PackArguments(const std::string& Head, const char* Arguments, const size_t* Lengths, int Count,
                  const std::string* Suffix);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_PACK_H_
