#include "admsa_tran_pack.h"

int PackArguments(const std::string& Head, const char* Arguments, const size_t* Lengths, int Count,
                  const std::string* Suffix) {
  const bool joined = Suffix != nullptr;
  const size_t suffix = joined ? Suffix->size() : 0;
  LineScan line;
  line.Append(Head.data(), Head.size());
  int taken = 0;
  for (const char* argument = Arguments; taken < Count; argument += Lengths[taken++]) {
    LineScan longer = line;
    longer.Append(argument, Lengths[taken]);
    if (taken > 0 && longer.Written(joined) + suffix > kPackedLineLimit) break;
    line = longer;
  }
  return taken;
}
