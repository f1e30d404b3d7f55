#include "admsa_supp_copy.h"

#include <cstring>

#include "admsa_errs.h"

OwnedText CopyText(const char* text) {
  OwnedText copy(strdup(text));
  if (copy == nullptr) OutOfMemory(static_cast<long>(std::strlen(text)) + 1);
  return copy;
}
