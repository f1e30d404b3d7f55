// Builds raw control-file records field by field, for tests.
#ifndef TESTS_SUPPORT_RAW_RECORD_H_
#define TESTS_SUPPORT_RAW_RECORD_H_

#include <string>

#include "admsa_supp.h"

// A raw record of table tid (0 to 8): its key character, then RawLengthNeeded(tid)
// - 1 bytes in which every byte is blank except those of numeric and bit-set
// fields, which are zero. Where a numeric field overlaps a text field (system
// initialisation fields 41 and 42) the shared bytes start as zero.
class RawRecord {
 public:
  explicit RawRecord(int tid);

  // Writes value at the raw offset of field fid of tid's layout, cut or blank-filled
  // to the field's length. The record grows with blanks when it is too short.
  // An id without an entry fails the running test.
  RawRecord& Text(int fid, const std::string& value);
  // Writes value little-endian over the field's length (its low bytes when the
  // field is shorter than a long).
  RawRecord& Number(int fid, long value);
  // Writes bytes at raw offset off, growing the record with blanks when needed.
  RawRecord& Bytes(int off, const std::string& bytes);
  // Cuts the record to len bytes (no change when it is not longer).
  RawRecord& Truncate(int len);

  const std::string& bytes() const { return bytes_; }
  // A new Rec, owned by the caller, packed by tid's layout exactly as the reader
  // packs a raw record.
  Rec* Packed() const;

 private:
  // The raw offset and length of fid; false (test failed) when there is none.
  bool Locate(int fid, int* off, int* len) const;
  void Put(int off, const std::string& bytes);

  int tid_;
  std::string bytes_;
};

#endif  // TESTS_SUPPORT_RAW_RECORD_H_
