// The library's own copies of texts it is given, made whole or not at all.
#ifndef DEFSHIFTCORE_ADMSA_SUPP_COPY_H_
#define DEFSHIFTCORE_ADMSA_SUPP_COPY_H_

#include "admsa_supp_text.h"

// An owned copy of text, which must not be null. A run that cannot get the
// storage does not go on: message 4 is reported and the process ends (see
// OutOfMemory in admsa_errs.h).
OwnedText CopyText(const char* text);

#endif  // DEFSHIFTCORE_ADMSA_SUPP_COPY_H_
