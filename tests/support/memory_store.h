// A source store that replays raw records held in memory, for tests of the reader.
#ifndef TESTS_SUPPORT_MEMORY_STORE_H_
#define TESTS_SUPPORT_MEMORY_STORE_H_

#include <string>
#include <vector>

#include "admsa_fm.h"

class MemoryStore : public FMFile {
 public:
  MemoryStore();

  // Queues one raw record (any bytes, any length, empty included).
  void Add(const std::string& raw);
  // The queued records in the order added, each as a new InRec owned by the caller;
  // null once all have been handed out, and on every call after that.
  InRec* readrec() override;
  // How many times readrec has been called, the calls that returned null included.
  int reads() const { return reads_; }

 private:
  std::vector<std::string> records_;
  size_t next_;
  int reads_;
};

#endif  // TESTS_SUPPORT_MEMORY_STORE_H_
