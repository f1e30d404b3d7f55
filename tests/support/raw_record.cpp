#include "support/raw_record.h"

#include <gtest/gtest.h>

#include "admsa_tab.h"

RawRecord::RawRecord(int tid) : tid_(tid) {
  const Entry* layout = LayoutOf(tid);
  if (layout == nullptr) {
    ADD_FAILURE() << "no layout for table " << tid;
    return;
  }
  bytes_.assign(static_cast<size_t>(RawLengthNeeded(tid)), ' ');
  bytes_[0] = TablChars[tid];
  for (const Entry* e = layout; e->field >= 0; ++e) {
    if (e->ctype != 'X') Put(e->off, std::string(static_cast<size_t>(e->len), '\0'));
  }
}

bool RawRecord::Locate(int fid, int* off, int* len) const {
  const Entry* e = LayoutOf(tid_);
  while (e != nullptr && e->field >= 0 && e->field != fid) ++e;
  if (e == nullptr || e->field < 0) {
    ADD_FAILURE() << "table " << tid_ << " has no field " << fid;
    return false;
  }
  *off = e->off;
  *len = e->len;
  return true;
}

void RawRecord::Put(int off, const std::string& bytes) {
  const size_t end = static_cast<size_t>(off) + bytes.size();
  if (bytes_.size() < end) bytes_.resize(end, ' ');
  bytes_.replace(static_cast<size_t>(off), bytes.size(), bytes);
}

RawRecord& RawRecord::Text(int fid, const std::string& value) {
  int off = 0;
  int len = 0;
  if (Locate(fid, &off, &len)) {
    std::string field = value.substr(0, static_cast<size_t>(len));
    field.resize(static_cast<size_t>(len), ' ');
    Put(off, field);
  }
  return *this;
}

RawRecord& RawRecord::Number(int fid, long value) {
  int off = 0;
  int len = 0;
  if (Locate(fid, &off, &len)) {
    std::string field(static_cast<size_t>(len), '\0');
    unsigned long bits = static_cast<unsigned long>(value);
    for (int i = 0; i < len && i < static_cast<int>(sizeof bits); ++i) {
      field[static_cast<size_t>(i)] = static_cast<char>(bits & 0xff);
      bits >>= 8;
    }
    Put(off, field);
  }
  return *this;
}

RawRecord& RawRecord::Bytes(int off, const std::string& bytes) {
  Put(off, bytes);
  return *this;
}

RawRecord& RawRecord::Truncate(int len) {
  if (len >= 0 && static_cast<size_t>(len) < bytes_.size()) bytes_.resize(static_cast<size_t>(len));
  return *this;
}

Rec* RawRecord::Packed() const {
  unsigned char work[kRecWorkArea];
  const Tabl* t = LayoutOf(tid_) != nullptr ? &TabList[tid_] : nullptr;
  const int n = PackRecord(t, reinterpret_cast<const unsigned char*>(bytes_.data()),
                           static_cast<int>(bytes_.size()), work);
  return new Rec(work, n < 0 ? 0 : n);
}
