#include "support/memory_store.h"

MemoryStore::MemoryStore() : FMFile("memory"), next_(0), reads_(0) {}

void MemoryStore::Add(const std::string& raw) { records_.push_back(raw); }

InRec* MemoryStore::readrec() {
  ++reads_;
  if (next_ >= records_.size()) return nullptr;
  const std::string& raw = records_[next_++];
  Buffer b;
  b.setto(raw.data(), static_cast<int>(raw.size()));
  return new InRec(&b);
}
