// Numbers as the run of a checked command file shows them to the
// administrator: digits grouped by threes with commas ("12,001 of 99,902").
#ifndef DEFSHIFTCORE_ADMSA_TRAN_GROUPED_H_
#define DEFSHIFTCORE_ADMSA_TRAN_GROUPED_H_

#include <string>

// A line number as the file shows it, in groups of three digits: 1,234.
std::string Grouped(long Number);
// Appends Grouped(Number) to *rOut.
void AppendGrouped(long Number, std::string* rOut);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_GROUPED_H_
