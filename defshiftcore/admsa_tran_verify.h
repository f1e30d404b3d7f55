// Whether a translated definition is migrated, and the amendments that let it
// be: the checks of every class and of each class of its own.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_VERIFY_H_
#define DEFSHIFTCORE_ADMSA_TRAN_VERIFY_H_

#include "admsa_tran_record.h"

// The transactions that the earlier release supplied with its own system, four
// characters each, ended by a null entry. Definitions of these are not migrated.
constexpr int kDeleteTransCount = 40;
extern const char* const TD_DeleteTransIds[kDeleteTransCount + 1];
// Names of the earlier release's own files and programs begin with this.
extern const char FD_SysFilePrefix[];

// Refuses, with a log line, a definition whose name, region or attribute texts
// hold a control character (see HoldsControlCharacter), and one of any class
// but the region definition whose name is empty; otherwise applies the check of
// the definition's class. 1 when the definition is to be migrated, 0 when it is
// refused (the reason is logged, and the record's fates note it). A check may
// amend attributes: a terminal's NetName that conflicts with its ModelId is
// reset to the quoted empty value (logged), a queue that is not intrapartition
// loses its TriggerLevel (not logged). A record that is not initialised is
// refused.
int Verify(AttrToScript* Record);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_VERIFY_H_
