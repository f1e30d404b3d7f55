#include "admsa_tab.h"

#include <cstring>
#include <iterator>

#include "admsa_errs.h"
#include "admsa_supp.h"

// Code lists hold codes of exactly the field's length, back to back; blank codes
// are spelled out so that their length can be read at a glance.
namespace {
constexpr char kBlank4[] = "    ";
constexpr char kBlank8[] = "        ";
constexpr char kBlank3[] = "   ";
}  // namespace

// clang-format off
constexpr Entry DCTdef[] = {
  // field  off  len  type  start    end  perm
  {  1015,    1,   4, 'X',      0,     0, ""      },
  {  1014,   13,   8, 'X',      0,     0, ""      },
  {   700,   21,   1, 'X',      0,     0, "LRIE"  },
  {   701,   22,  30, 'X',      0,     0, ""      },
  {   702,   52,   1, 'X',      0,     0, "YN "   },
  {   703,   53,   2, '5',      0,  9999, ""      },
  {   704,   55,   4, 'X',      0,     0, kBlank4 },
  {   705,   59,   4, 'X',      0,     0, kBlank4 },
  {   710,   63,   4, 'X',      0,     0, kBlank4 },
  {   711,   67,   2, '5',      0, 32767, ""      },
  {   712,   69,   4, 'X',      0,     0, kBlank4 },
  {   713,   73,   4, 'X',      0,     0, kBlank4 },
  {   707,   80,   1, 'X',      0,     0, "FV "   },
  {   708,   81,   1, 'X',      0,     0, "FS "   },
  {   706,   82,   1, 'X',      0,     0, "IO "   },
  {   709,   83,  40, 'X',      0,     0, ""      },
  {    -1,    0,   0,   0,      0,     0, ""      },
};

constexpr Entry FCTdef[] = {
  // field  off  len  type  start    end  perm
  {  1007,    1,   8, 'X',      0,     0, ""      },
  {  1006,   13,   8, 'X',      0,     0, ""      },
  {   301,   21,   1, 'X',      0,     0, "OZCDU" },
  {   302,   23,   1, 'X',      0,     0, "NAR"   },
  {   300,   24,  60, 'X',      0,     0, ""      },
  {   303,   84,   8, 'X',      0,     0, ""      },
  {   304,   98,   4, 'X',      0,     0, kBlank4 },
  {   308,  102,   2, '5',      0, 32767, ""      },
  {   309,  104,   2, '5',      0,  4088, ""      },
  {   306,  504,  30, 'X',      0,     0, ""      },
  {   305,  534,   8, 'X',      0,     0, kBlank8 },
  {   307,  544,   1, 'X',      0,     0, "YN"    },
  {    -1,    0,   0,   0,      0,     0, ""      },
};

constexpr Entry PCTdef[] = {
  // field  off  len  type  start    end  perm
  {  1003,    1,   4, 'X',      0,     0, ""      },
  {  1002,   13,   8, 'X',      0,     0, ""      },
  {   100,   21,   8, 'X',      0,     0, ""      },
  {   106,   31,  30, 'X',      0,     0, ""      },
  {   102,   62,   1, 'X',      0,     0, "YN"    },
  {   104,   63,   4, 'X',      0,     0, kBlank4 },
  {   105,   67,   4, 'X',      0,     0, kBlank4 },
  {   103,   71,   1, 'X',      0,     0, "YN"    },
  {   107,   75,   1, 'X',      0,     0, "YN"    },
  {   108,   76,   2, '5',      0,   255, ""      },
  {   109,   78,   2, '5',      0,    10, ""      },
  {    -1,    0,   0,   0,      0,     0, ""      },
};

constexpr Entry PPTdef[] = {
  // field  off  len  type  start    end  perm
  {  1017,    1,   8, 'X',      0,     0, ""      },
  {  1016,   13,   8, 'X',      0,     0, ""      },
  {   803,   21,   1, 'X',      0,     0, "PMD"   },
  {   800,   22,   1, 'X',      0,     0, "PT "   },
  {   804,   23,  30, 'X',      0,     0, ""      },
  {   801,   53,   4, 'X',      0,     0, kBlank4 },
  {   802,   57,   8, 'X',      0,     0, kBlank8 },
  {   805,  223,   4, 'X',      0,     0, ""      },
  {    -1,    0,   0,   0,      0,     0, ""      },
};

// Entry 1020 is the first byte of entry 42; each is packed at its own position.
constexpr Entry SITdef[] = {
  // field  off  len  type  start    end  perm
  {  1001,    1,   4, 'X',      0,     0, ""                   },
  {  1000,   13,   8, 'X',      0,     0, ""                   },
  {     1,   21,   4, '5',      0, 32767, ""                   },
  {     2,   25,   4, '5',      0, 32767, ""                   },
  {    19,   61,   4, 'X',      0,     0, ""                   },
  {    18,   71,   4, 'X',      0,     0, ""                   },
  {    10,   87,   2, '5',      0,  2048, ""                   },
  {    11,   90,   2, '5',      1,    99, ""                   },
  {    20,   92,   1, 'X',      0,     0, "YN"                 },
  {    12,   93,   2, '5',      0,    99, ""                   },
  {    21,   97,   6, 'X',      0,     0, "DDMMYYMMDDYYYYMMDD" },
  {    17,  103,  40, 'X',      0,     0, ""                   },
  {     0,  145,  30, 'X',      0,     0, ""                   },
  {    22,  175,   1, 'X',      0,     0, "PN"                 },
  {    23,  176,   4, 'X',      0,     0, ""                   },
  {    24,  180,   2, '5',      0,   255, ""                   },
  {    25,  182,   2, '5',      0,   255, ""                   },
  {    26,  184,   2, '5',      1,    99, ""                   },
  {    27,  186,   2, '5',      1,    99, ""                   },
  {    28,  188,   2, '5',      1,    99, ""                   },
  {    29,  190,   2, '5',      1,    99, ""                   },
  {    30,  192,   2, '5',      1,    99, ""                   },
  {    31,  194,   2, '5',      1,    99, ""                   },
  {    32,  196,   2, '5',      1,    99, ""                   },
  {    33,  198,   2, '5',      1,    99, ""                   },
  {    34,  200,   2, '5',      1,    99, ""                   },
  {    35,  202,   2, '5',      1,    99, ""                   },
  {    36,  204,   4, 'X',      0,     0, ""                   },
  {    37,  208,   8, 'X',      0,     0, ""                   },
  {    38,  216,   1, 'X',      0,     0, "01B "               },
  {    39,  217,   2, '5',      0,   254, ""                   },
  {    40,  219,  40, 'X',      0,     0, ""                   },
  {    41,  259,   4, '5',      0,     0, ""                   },
  {  1020,  261,   1, 'X',      0,     0, "*"                  },
  {    42,  261,  40, 'X',      0,     0, ""                   },
  {    43,  301,   4, '5',      0,     0, ""                   },
  {    44,  305,   2, '5',      0,     0, ""                   },
  {    -1,    0,   0,   0,      0,     0, ""                   },
};

// Fields 204 and 205 are bit sets; their ranges number the bits.
constexpr Entry SNTdef[] = {
  // field  off  len  type  start    end  perm
  {  1005,    1,   8, 'X',      0,     0, ""      },
  {  1004,   13,   8, 'X',      0,     0, kBlank8 },
  {   200,   29,   8, 'X',      0,     0, ""      },
  {   206,   37,  30, 'X',      0,     0, ""      },
  {   201,   67,   1, 'X',      0,     0, "YN"    },
  {   204,   69,   3, '1',      0,    23, ""      },
  {   203,   72,   3, 'X',      0,     0, kBlank3 },
  {   205,   78,   8, '1',      0,    63, ""      },
  {    -1,    0,   0,   0,      0,     0, ""      },
};

// Entries 509 and 511 share raw bytes, and 510 occurs twice; a lookup by id finds
// the first 510.
constexpr Entry TCSdef[] = {
  // field  off  len  type  start    end  perm
  {  1011,    1,   4, 'X',      0,     0, ""                 },
  {  1010,   13,   8, 'X',      0,     0, ""                 },
  {   500,   29,   1, 'X',      0,     0, "ZBT"              },
  {   502,   31,  30, 'X',      0,     0, ""                 },
  {   503,   63,   2, '5',      1,    99, ""                 },
  {   508,   65,   8, 'X',      0,     0, ""                 },
  {   509,   73,   8, 'X',      0,     0, ""                 },
  {   511,   73,   8, 'X',      0,     0, "0       1       " },
  {   510,   81,   8, 'X',      0,     0, ""                 },
  {   510,   81,   8, 'X',      0,     0, ""                 },
  {   513,   99,   1, 'X',      0,     0, "LV"               },
  {   514,  104,   4, '5',     37, 65534, ""                 },
  {   505,  108,   4, '5',    512, 40000, ""                 },
  {  1019,  511,   1, 'X',      0,     0, "TS"               },
  {   520,  520,   2, '5',      0,   255, ""                 },
  {  1021,  119,   4, 'X',      0,     0, kBlank4            },
  {   516,  152,  40, 'X',      0,     0, ""                 },
  {   517,  192,   4, '5',      0,     0, ""                 },
  {    -1,    0,   0,   0,      0,     0, ""                 },
};

// The last four entries are connection-and-session fields at their own raw
// offsets, so that connection rules can read terminal records. The last code of
// 403 is "PRN" and a NUL: a code ends the list only when its first byte is NUL.
constexpr Entry TCTdef[] = {
  // field  off  len  type  start    end  perm
  {  1009,    1,   4, 'X',      0,     0, ""                         },
  {  1008,   13,   8, 'X',      0,     0, ""                         },
  {   401,   29,   1, 'X',      0,     0, "VPJQAS"                   },
  {   406,   31,  30, 'X',      0,     0, ""                         },
  {   400,   65,   8, 'X',      0,     0, ""                         },
  {   418,   90,   1, 'X',      0,     0, "C "                       },
  {   419,   91,   1, 'X',      0,     0, "H "                       },
  {   413,   92,   2, '5',      1, 65534, ""                         },
  {   414,   94,   2, '5',    437,   948, ""                         },
  {   407,   96,   2, '5',      1,    43, ""                         },
  {   409,   98,   2, '5',      1,   132, ""                         },
  {   420,  106,   2, '5',      0,   255, ""                         },
  {   403,  108,   4, 'X',      0,     0, "LPT1LPT2LPT3LPT4LPT5PRN\0" },
  {   411,  114,   1, 'X',      0,     0, "U "                       },
  {   404,  115,   1, 'X',      0,     0, "TF "                      },
  {   405,  116,   1, 'X',      0,     0, "G "                       },
  {   416,  117,   1, 'X',      0,     0, ""                         },
  {   402,  118,   1, 'X',      0,     0, "YN"                       },
  {   424,  119,   4, 'X',      0,     0, kBlank4                    },
  {   425,  123,   4, 'X',      0,     0, kBlank4                    },
  {  1018,  511,   1, 'X',      0,     0, "TS"                       },
  {   415,  513,   4, 'X',      0,     0, ""                         },
  {   417,  518,   5, 'X',      0,     0, ""                         },
  {   408,  523,   8, 'X',      0,     0, ""                         },
  {   410,  531,   1, 'X',      0,     0, ""                         },
  {   421,  535,   2, '5',      0,   255, ""                         },
  {   422,  537,   1, 'X',      0,     0, "YN"                       },
  {   423,  538,   1, 'X',      0,     0, "YN"                       },
  {   514,  104,   4, '5',     37, 65534, ""                         },
  {   516,  152,  40, 'X',      0,     0, ""                         },
  {   517,  192,   4, '5',      0,     0, ""                         },
  {   510,   81,   8, 'X',      0,     0, ""                         },
  {    -1,    0,   0,   0,      0,     0, ""                         },
};

constexpr Entry TSTdef[] = {
  // field  off  len  type  start    end  perm
  {  1013,    1,   8, 'X',      0,     0, ""      },
  {  1012,   13,   8, 'X',      0,     0, ""      },
  {   601,   31,   1, 'X',      0,     0, "YN"    },
  {   602,   32,   4, 'X',      0,     0, kBlank4 },
  {   603,   36,   8, 'X',      0,     0, kBlank8 },
  {   604,   44,  30, 'X',      0,     0, ""      },
  {    -1,    0,   0,   0,      0,     0, ""      },
};

constexpr Tabl TabList[10] = {
  // num     layout   dlen
  { DCTid,   DCTdef,  111 },
  { FCTid,   FCTdef,  129 },
  { PCTid,   PCTdef,   65 },
  { PPTid,   PPTdef,   60 },
  { SITid,   SITdef,  195 },
  { SNTid,   SNTdef,   65 },
  { TCSid,   TCSdef,   96 },
  { TCTid,   TCTdef,   94 },
  { TSTid,   TSTdef,   55 },
  { 0,       nullptr,   0 },
};
// clang-format on

// Keep in step with TabList: position i is the key character of TabList[i].
constexpr char TablChars[] = "DFPOZS%TQ";

namespace {

constexpr int kLayouts = TSTid + 1;

constexpr int PackedLength(const Entry* e) {
  int n = 0;
  for (; e->field >= 0; ++e) n += e->len;
  return n;
}

constexpr int FurthestByte(const Entry* e) {
  int n = 0;
  for (; e->field >= 0; ++e) n = e->off + e->len > n ? e->off + e->len : n;
  return n;
}

// A value map holds one entry per code and one for every other value, in ten.
constexpr int kMaxCodes = 9;

// True when every entry fits the limits that the work areas and value maps rely
// on. Stepping through each code list here also makes the compiler reject a list
// whose last code is cut short, since stepping past a literal is not a constant
// expression.
constexpr bool WithinLimits(const Entry* e) {
  for (; e->field >= 0; ++e) {
    if (e->len < 1 || e->len > kMaxFieldLen || e->off < 1) return false;
    if (e->ctype != 'X' && e->ctype != '5' && e->ctype != '1') return false;
    int codes = 0;
    for (const char* code = e->perm; code[0] != '\0'; code += e->len) ++codes;
    if (codes > kMaxCodes || (codes > 0 && e->ctype != 'X')) return false;
  }
  return e->field == -1 && e->off == 0 && e->len == 0 && e->perm[0] == '\0';
}

constexpr bool AllLayoutsFit() {
  int longest = 0;
  for (int tid = 0; tid < kLayouts; ++tid) {
    const Entry* layout = TabList[tid].fort;
    if (TabList[tid].num != tid || !WithinLimits(layout)) return false;
    if (PackedLength(layout) > longest) longest = PackedLength(layout);
  }
  return longest == kMaxRecLen && TabList[kLayouts].fort == nullptr;
}

static_assert(std::size(DCTdef) == 16 + 1, "destination control table layout");
static_assert(std::size(FCTdef) == 12 + 1, "file control table layout");
static_assert(std::size(PCTdef) == 11 + 1, "program control table layout");
static_assert(std::size(PPTdef) == 8 + 1, "processing program table layout");
static_assert(std::size(SITdef) == 37 + 1, "system initialisation table layout");
static_assert(std::size(SNTdef) == 8 + 1, "signon table layout");
static_assert(std::size(TCSdef) == 18 + 1, "connection and session table layout");
static_assert(std::size(TCTdef) == 32 + 1, "terminal control table layout");
static_assert(std::size(TSTdef) == 6 + 1, "temporary storage table layout");
static_assert(std::size(TablChars) == kLayouts + 1, "one key character per layout");
static_assert(AllLayoutsFit(), "a layout breaks the field or record limits");
static_assert(kMaxRecLen <= kRecWorkArea, "the work area must hold any record");

// What stands in for a byte that a record does not hold: a blank in text, zero in
// numbers and bit sets.
unsigned char FillByte(const Entry& e) { return e.ctype == 'X' ? ' ' : 0; }

// Copies bytes [from, from + e.len) of src (srclen bytes long) to out, filling
// where src ends early.
void CopyField(const Entry& e, const unsigned char* src, int srclen, int from, unsigned char* out) {
  if (src != nullptr && from >= 0 && e.len >= 0 && from <= srclen - e.len) {
    std::memcpy(out, src + from, static_cast<size_t>(e.len));
    return;
  }
  for (int i = 0; i < e.len; ++i) {
    const int at = from + i;
    out[i] = (at >= 0 && at < srclen) ? src[at] : FillByte(e);
  }
}

}  // namespace

const Entry* LayoutOf(int tid) {
  if (tid < 0 || tid >= kLayouts) return nullptr;
  return TabList[tid].fort;
}

int RawLengthNeeded(int tid) {
  const Entry* layout = LayoutOf(tid);
  return layout != nullptr ? FurthestByte(layout) : 0;
}

int PackRecord(const Tabl* t, const unsigned char* raw, int rawlen,
               unsigned char (&out)[kRecWorkArea]) {
  if (t == nullptr || t->fort == nullptr) return -1;
  if (raw == nullptr) rawlen = 0;
  int n = 0;
  for (const Entry* e = t->fort; e->field >= 0; ++e) {
    if (e->len < 0 || e->len > kRecWorkArea - n) return -1;
    CopyField(*e, raw, rawlen, e->off, out + n);
    n += e->len;
  }
  return n;
}

int FieldAt(const Entry& e, const unsigned char* rec, int reclen, int pos,
            unsigned char (&out)[kMaxFieldLen + 1]) {
  // Every layout entry fits the area (AllLayoutsFit); an entry made elsewhere is
  // cut to it rather than overrun it.
  Entry field = e;
  if (field.len < 0) field.len = 0;
  if (field.len > kMaxFieldLen) field.len = kMaxFieldLen;
  // A record packed by another layout than the one pos was found in may end
  // before the field does.
  CopyField(field, rec, rec != nullptr ? reclen : 0, pos, out);
  out[field.len] = '\0';
  return field.len;
}

const Tabl* InRec::getfor() const {
  if (dlen < 1 || buf[0] == '\0') return nullptr;
  const char* at = std::strchr(TablChars, buf[0]);
  return at != nullptr ? &TabList[at - TablChars] : nullptr;
}

const Entry* Rec::formatp(int tid, int dtab, int fid, int* pos) {
  const Entry* one = LayoutOf(tid);
  if (one == nullptr) {
    Error.Report(35, tid, fid);
    return nullptr;
  }
  int at = 0;
  if (tid == dtab) {
    while (one->field >= 0 && one->field != fid) {
      at += one->len;
      ++one;
    }
  } else {
    while (one->field >= 0 && one->field != fid) ++one;
    if (one->field >= 0) {
      const Entry* two = LayoutOf(dtab);
      while (two != nullptr && two->field >= 0) {
        if (one->off >= two->off && one->off + one->len <= two->off + two->len) break;
        at += two->len;
        ++two;
      }
      if (two == nullptr || two->field < 0) {
        Error.Report(39, tid, dtab, fid);
        return nullptr;
      }
      at += one->off - two->off;
    }
  }
  if (one->field < 0) {
    Error.Report(35, tid, fid);
    return nullptr;
  }
  if (pos != nullptr) *pos += at;
  return one;
}

const Entry* Rec::format(int t, int f) {
  int scratch = 0;
  return formatp(t, t, f, &scratch);
}

Buffer* Rec::field(int tid, int dtab, int fid) const {
  int pos = 0;
  const Entry* one = formatp(tid, dtab, fid, &pos);
  Buffer* out = new Buffer();
  if (one == nullptr) {
    Error.Report(0, static_cast<void*>(nullptr), "formatp failed");
    return out;
  }
  unsigned char bytes[kMaxFieldLen + 1];
  out->setto(bytes, FieldAt(*one, buf, dlen, pos, bytes) + 1);
  return out;
}
