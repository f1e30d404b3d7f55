// Reading and releasing translated definitions and source records, for tests of
// the translation.
#ifndef TESTS_SUPPORT_DEFINITIONS_H_
#define TESTS_SUPPORT_DEFINITIONS_H_

#include <string>
#include <vector>

#include "admsa_supp.h"

// The pairs of a definition as "name=value" texts, in order; empty for null.
std::vector<std::string> PairTexts(const ListBP* definition);
// Every definition of class cls, each as PairTexts gives it, in commit order.
std::vector<std::vector<std::string>> ClassTexts(const Forcfg& cfg, int cls);
// The value of the first pair named name in definition, or "<none>" when there is
// no such pair.
std::string ValueOf(const ListBP* definition, const std::string& name);

// Releases every record of *conf that a test made itself (RawRecord::Packed) and
// added to its lists; *conf must not be read afterwards.
void ReleaseRecords(Config* conf);

#endif  // TESTS_SUPPORT_DEFINITIONS_H_
