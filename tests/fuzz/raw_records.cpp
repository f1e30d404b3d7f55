#include "raw_records.h"

#include <cstring>

std::vector<std::string> SplitRecords(const uint8_t* data, size_t size) {
  std::vector<std::string> records;
  if (size == 0) return records;
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + size;
  for (;;) {
    const char* sep = static_cast<const char*>(
        memmem(p, static_cast<size_t>(end - p), kRecordSeparator, kRecordSeparatorLen));
    if (sep == nullptr) {
      records.emplace_back(p, static_cast<size_t>(end - p));
      return records;
    }
    records.emplace_back(p, static_cast<size_t>(sep - p));
    p = sep + kRecordSeparatorLen;
  }
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
