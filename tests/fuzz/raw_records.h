// The input format of the migration fuzzer: a control file as its raw records,
// one after another, each ended by kRecordSeparator except the last. Any byte
// string is an input: a record may hold any bytes (NUL included) and may be
// empty; only the separator itself cannot occur inside a record. An empty input
// is a control file without records.
#ifndef TESTS_FUZZ_RAW_RECORDS_H_
#define TESTS_FUZZ_RAW_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Four bytes that no control file of an ordinary region holds: two ASCII record
// separators around "RS". Rare enough that hardly any field value is lost to it,
// and long enough for the fuzzer to learn and insert as a unit.
constexpr char kRecordSeparator[] = "\x1eRS\x1e";
constexpr size_t kRecordSeparatorLen = sizeof kRecordSeparator - 1;

// The longest input the migration fuzzer is given (run.sh passes it as
// -max_len): four records of the longest a control file holds (1024 bytes), or
// seven of the longest table layout, so that records of several tables meet in one
// input, while the work of an execution stays small.
constexpr size_t kLongestInput = 4096;

// Walks the raw records of an input in order without copying them.
class RecordReader {
 public:
  // data must outlive the reader.
  RecordReader(const uint8_t* data, size_t size);
  // The next record in *record and *len; false once every record has been given.
  bool Next(const char** record, size_t* len);

 private:
  const char* p_;    // the start of the next record, or null when none is left
  const char* end_;  // the end of the input
};

// The raw records of data.
std::vector<std::string> SplitRecords(const uint8_t* data, size_t size);

// The input whose records are records. A record holding the separator cannot be
// written: false, and *input is left as it was.
bool JoinRecords(const std::vector<std::string>& records, std::string* input);

#endif  // TESTS_FUZZ_RAW_RECORDS_H_
