#include "raw_records.h"

#include <cstring>

RecordReader::RecordReader(const uint8_t* data, size_t size)
    : p_(size > 0 ? reinterpret_cast<const char*>(data) : nullptr),
      end_(reinterpret_cast<const char*>(data) + size) {}

bool RecordReader::Next(const char** record, size_t* len) {
  if (p_ == nullptr) return false;
  const char* sep = static_cast<const char*>(
      memmem(p_, static_cast<size_t>(end_ - p_), kRecordSeparator, kRecordSeparatorLen));
  *record = p_;
  if (sep == nullptr) {
    // The last record: it has no separator behind it.
    *len = static_cast<size_t>(end_ - p_);
    p_ = nullptr;
  } else {
    *len = static_cast<size_t>(sep - p_);
    p_ = sep + kRecordSeparatorLen;
  }
  return true;
}

std::vector<std::string> SplitRecords(const uint8_t* data, size_t size) {
  std::vector<std::string> records;
  RecordReader reader(data, size);
  const char* record;
  size_t len;
  while (reader.Next(&record, &len)) records.emplace_back(record, len);
  return records;
}

bool JoinRecords(const std::vector<std::string>& records, std::string* input) {
  std::string joined;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].find(kRecordSeparator, 0, kRecordSeparatorLen) != std::string::npos) {
      return false;
    }
    if (i > 0) joined.append(kRecordSeparator, kRecordSeparatorLen);
    joined += records[i];
  }
  // The empty input is the control file without records, so a control file of
  // one empty record has no input of its own.
  if (records.size() == 1 && records[0].empty()) return false;
  *input = joined;
  return true;
}
