// The control file of a fuzz input: an in-memory store that hands the reader
// the input's raw records (raw_records.h) in order, as the File Manager hands
// out a control file's records, without reading any file.
#ifndef TESTS_FUZZ_INPUT_STORE_H_
#define TESTS_FUZZ_INPUT_STORE_H_

#include <cstddef>
#include <cstdint>

#include "admsa_fm.h"
#include "admsa_supp.h"
#include "raw_records.h"

class InputStore : public FMFile {
 public:
  // data must outlive the store.
  InputStore(const uint8_t* data, size_t size) : FMFile("input"), reader_(data, size) {}

  InRec* readrec() override {
    const char* record;
    size_t len;
    if (!reader_.Next(&record, &len)) return nullptr;
    ++handed_;
    // The record's only copy is the one the caller gets.
    record_.lend(record, static_cast<int>(len));
    return new InRec(&record_);
  }

  // The records handed out.
  uint32_t handed() const { return handed_; }

 private:
  uint32_t handed_ = 0;
  RecordReader reader_;
  Buffer record_;  // the record being handed out, lent by the input
};

#endif  // TESTS_FUZZ_INPUT_STORE_H_
