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

// The number of arguments, from the first of the Count (at least 1) that follow
// each other at Arguments, argument i being Lengths[i] bytes with its leading
// blank, that the command line beginning with Head carries: as many as keep
// the line within kPackedLineLimit as the command file holds it, escaped
// (LineScan) and, when Suffix is not null, joined to the Suffix after it, and
// at least one, since an argument that cannot share a line has one of its own.
int PackArguments(const std::string& Head, const char* Arguments, const size_t* Lengths, int Count,
                  const std::string* Suffix);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_PACK_H_
