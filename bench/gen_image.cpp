// Writes a control-file image of a given number of records with the mix of a large
// installation, for the migration benchmark:
//
//   gen_image RECORDS IMAGE
//
// The image holds one system initialisation record and then, in key order, the
// other tables in fixed shares of the rest (terminals take what the rounding
// leaves). Every value is derived from the record's number, so the same count
// always gives the same image, byte for byte. The counts per table go to standard
// output. Exit status 0, or 1 with a message on standard error.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "admsa_tab.h"
#include "qrlnt/ctf_image.h"

namespace {

// One raw record of a source table, filled field by field by the core's layouts.
class Record {
 public:
  Record(int tid, char key) : tid_(tid), len_(RawLengthNeeded(tid)) {
    std::memset(bytes_, ' ', sizeof bytes_);
    bytes_[0] = static_cast<unsigned char>(key);
    for (const Entry* e = LayoutOf(tid); e->field >= 0; ++e) {
      if (e->ctype != kCharField) std::memset(bytes_ + e->off, 0, static_cast<size_t>(e->len));
    }
  }

  // The text, cut or blank-filled to the field's length.
  Record& Text(int fid, const std::string& value) {
    const Entry* e = Find(fid);
    std::memset(bytes_ + e->off, ' ', static_cast<size_t>(e->len));
    std::memcpy(bytes_ + e->off, value.data(), std::min(value.size(), static_cast<size_t>(e->len)));
    return *this;
  }

  // The number, little-endian over the field's length.
  Record& Number(int fid, unsigned long value) {
    const Entry* e = Find(fid);
    for (int i = 0; i < e->len; ++i, value >>= 8) {
      bytes_[e->off + i] = static_cast<unsigned char>(value & 0xFF);
    }
    return *this;
  }

  const unsigned char* data() const { return bytes_; }
  int len() const { return len_; }

 private:
  const Entry* Find(int fid) const {
    for (const Entry* e = LayoutOf(tid_); e->field >= 0; ++e) {
      if (e->field == fid) return e;
    }
    std::fprintf(stderr, "gen_image: table %d has no field %d\n", tid_, fid);
    std::exit(1);
  }

  int tid_;
  int len_;
  unsigned char bytes_[ctf::kMaxRecordLen];
};

// A name of width characters: prefix, then n in base 36 (digits, then capitals).
std::string Name(const char* prefix, long n, int width) {
  std::string name(static_cast<size_t>(width), '0');
  const int fixed = static_cast<int>(std::strlen(prefix));
  for (int i = width - 1; i >= fixed; --i, n /= 36) {
    const int d = static_cast<int>(n % 36);
    name[static_cast<size_t>(i)] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
  }
  name.replace(0, static_cast<size_t>(fixed), prefix);
  return name;
}

std::string Numbered(const char* text, long n) {
  char out[64];
  std::snprintf(out, sizeof out, "%s %06ld", text, n);
  return out;
}

Record Sit() {
  Record r(SITid, 'Z');
  r.Text(1001, "SIT").Text(1000, "BENCHSYS").Text(0, "Benchmark region");
  r.Number(1, 1024).Number(10, 500).Number(11, 10);
  for (int f = 26; f <= 35; ++f) r.Number(f, static_cast<unsigned long>(f - 20));
  r.Text(18, "CPMT").Text(20, "Y").Text(21, "DDMMYY").Number(2, 512);
  r.Number(44, 1).Text(42, "*").Number(43, 1435);
  return r;
}

Record Queue(long i) {
  Record r(DCTid, 'D');
  r.Text(1015, Name("", i, 4)).Text(1014, "GRPQUEUE").Text(701, Numbered("Queue", i));
  if (i % 10 == 9) {
    r.Text(700, "E").Text(709, "C:\\TAVO\\DATA\\" + Name("Q", i, 8) + ".OUT");
    r.Text(706, "O").Text(707, "V");
  } else {
    r.Text(700, "L").Text(702, "Y").Number(703, i % 4 == 0 ? 10 : 0);
  }
  return r;
}

Record File(long i) {
  Record r(FCTid, 'F');
  const std::string name = Name("FL", i, 8);
  r.Text(1007, name).Text(1006, "GRPFILES").Text(300, "DATA\\" + name + ".DAT");
  r.Text(301, i % 5 == 0 ? "C" : "O").Text(302, i % 3 == 0 ? "R" : "N");
  r.Text(306, Numbered("Customer file", i));
  return r;
}

Record Program(long i) {
  Record r(PPTid, 'O');
  // One program in two hundred is one of the earlier release's own.
  r.Text(1017, i % 200 == 0 ? Name("QVB", i, 8) : Name("PG", i, 8)).Text(1016, "GRPPROGS");
  r.Text(803, i % 8 == 0 ? "M" : "P").Text(800, i % 4 == 0 ? "T" : " ");
  r.Text(804, Numbered("Program", i));
  return r;
}

Record Transaction(long i) {
  Record r(PCTid, 'P');
  r.Text(1003, Name("", i, 4)).Text(1002, "GRPTRANS").Text(100, Name("PG", i, 8));
  r.Number(108, static_cast<unsigned long>(i % 256)).Text(106, Numbered("Order entry", i));
  return r;
}

Record Temporary(long i) {
  Record r(TSTid, 'Q');
  r.Text(1013, Name("TS", i, 8)).Text(1012, "GRPTSQ").Text(601, i % 2 == 0 ? "Y" : "N");
  r.Text(604, Numbered("Scratchpad", i));
  return r;
}

Record User(long i) {
  Record r(SNTid, 'S');
  r.Text(1005, Name("US", i, 8)).Text(200, "SECRET").Text(201, "Y");
  if (i % 3 == 0) r.Text(1004, "GRPUSERS");
  r.Text(206, Numbered("Operator", i));
  return r;
}

// One terminal in twenty names a model and a net name, which conflict.
Record Terminal(long i) {
  Record r(TCTid, 'T');
  r.Text(1009, Name("", i, 4)).Text(1008, "GRPTERMS").Text(1018, "T");
  r.Text(423, "Y").Text(422, "N").Text(402, i % 20 == 0 ? "Y" : "N");
  r.Text(400, i % 20 == 0 ? Name("NET", i, 8) : "");
  r.Text(401, i % 10 == 0 ? "P" : "V").Number(409, 24).Number(407, 80).Number(421, 1);
  r.Text(406, Numbered("Terminal", i)).Text(419, "H").Text(418, "C").Text(411, "U");
  r.Number(420, 1);
  return r;
}

// Connections are system entries of the terminal table, TCP and SNA in turn.
Record Connection(long i) {
  Record r(TCTid, 'T');
  const bool tcp = i % 2 == 0;
  r.Text(1009, Name("Z", i, 4)).Text(1008, Name(tcp ? "TC" : "SN", i, 8)).Text(1018, "S");
  r.Text(401, tcp ? "T" : "Z").Text(406, Numbered("Connection", i));
  r.Number(514, i % 3 == 0 ? 850 : 437).Text(516, "host.example.com");
  r.Number(517, 1435 + static_cast<unsigned long>(i % 1000)).Text(400, "LU62").Text(510, "APPC");
  return r;
}

struct Share {
  const char* what;
  Record (*make)(long i);
  int percent;  // of the records after the system initialisation record
};

// clang-format off
// Key order, as the File Manager returns them. Terminals take the rounding rest.
const Share kShares[] = {
  // what                 make          percent
  { "queues",             Queue,         6 },
  { "files",              File,          8 },
  { "programs",           Program,      20 },
  { "transactions",       Transaction,  20 },
  { "temporary storage",  Temporary,     6 },
  { "users",              User,          8 },
  { "connections",        Connection,    2 },
  { "terminals",          Terminal,     30 },
};
// clang-format on
constexpr int kShareCount = sizeof kShares / sizeof kShares[0];

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_image RECORDS IMAGE\n");
    return 1;
  }
  char* end = nullptr;
  errno = 0;
  const long total = std::strtol(argv[1], &end, 10);
  if (errno != 0 || end == argv[1] || *end != '\0' || total < 1 || total > 100000000L) {
    std::fprintf(stderr, "gen_image: RECORDS must be a number from 1 to 100000000: %s\n", argv[1]);
    return 1;
  }

  long counts[kShareCount];
  long given = 0;
  for (int k = 0; k < kShareCount; ++k) {
    counts[k] = (total - 1) * kShares[k].percent / 100;
    given += counts[k];
  }
  counts[kShareCount - 1] += total - 1 - given;

  ctf::ImageWriter image;
  bool ok = image.Open(argv[2]) == 0;
  for (int k = 0; ok && k < kShareCount; ++k) {
    for (long i = 0; ok && i < counts[k]; ++i) {
      const Record r = kShares[k].make(i);
      ok = image.Put(r.data(), r.len()) == 0;
    }
  }
  // The system initialisation table's key sorts last.
  if (ok) {
    const Record sit = Sit();
    ok = image.Put(sit.data(), sit.len()) == 0 && image.Commit() == 0;
  }
  if (!ok) {
    std::fprintf(stderr, "gen_image: %s\n", image.error());
    return 1;
  }
  std::printf("%ld records: 1 system initialisation", total);
  for (int k = 0; k < kShareCount; ++k) std::printf(", %ld %s", counts[k], kShares[k].what);
  std::printf("\n");
  return 0;
}
