// The translation pass behind Forcfg::Forcfg, open to any table of rule sets so
// that the engine can be driven by tables other than TTable.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_ENGINE_H_
#define DEFSHIFTCORE_ADMSA_TRAN_ENGINE_H_

#include "admsa_conv.h"
#include "admsa_supp.h"

class Account;

// Applies the rule sets of table, in order up to its row whose trans is null, to the
// records of *conf, and appends every definition it commits to the class lists of
// *out (Forcfg::add). Writes its log lines and numbered messages through Error.
// Neither changes nor keeps conf; every pair it makes holds its own copies of name
// and value. Forcfg::Forcfg(conf) is this pass over TTable.
//
// Per record: every rule runs (a field missing from its layout rejects the record
// and ends its rules); then each destination that received a pair is committed,
// unless the record ends rejected, in which case its pairs are released.
//
// With an account, every definition committed is noted there with the record it
// came from (Account::Committed), and once no later rule set reads a table, its
// records that committed nothing get their rows (Account::TableDone).
void TranslateRules(const TTableRow* table, const Config* conf, Forcfg* out,
                    Account* account = nullptr);

// TranslateRules for a run that needs the records no more once they are
// translated: as soon as no later rule set of table reads a source table, its
// records are released (Config::Release), so that the run never holds every
// record and every definition at once. The tables of *conf that the rule sets
// read are empty afterwards; records that a caller made itself are not released
// (the caller keeps its own pointers to them).
void TranslateAndRelease(const TTableRow* table, Config* conf, Forcfg* out,
                         Account* account = nullptr);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_ENGINE_H_
