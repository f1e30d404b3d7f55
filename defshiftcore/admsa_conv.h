// The translation rule tables: which source table feeds which resource class
// (TTable), which source field becomes which attribute (the rule sets), and how a
// coded or numeric source value turns into the value the new release expects (the
// value maps and range maps).
//
// Everything here is constant data read only by the translation engine
// (Forcfg::Forcfg). A map entry is either an action or a text, and a rule's
// mapping is either a kind, a value map, a range map or a constant text; both are
// small tagged records, so one can never be read as the other.
#ifndef DEFSHIFTCORE_ADMSA_CONV_H_
#define DEFSHIFTCORE_ADMSA_CONV_H_

// Kinds of a rule's mapping (Mapping::kKind).
constexpr int kCopy = 0;           // the field's text or number as it stands
constexpr int kSpread = 1;         // as kCopy, but added to every definition of the
                                   // class committed before the current record
constexpr int kBaseName = 2;       // a file name without its extension and "DATA\"
constexpr int kFileName = 4;       // the text after the last backslash
constexpr int kPasswordReset = 5;  // the key of the record (CurrentResource)

// Actions of a value-map entry or of a range-map entry's str.
constexpr int kDrop = 0;         // no attribute
constexpr int kCopyValue = 1;    // the field's text, or the number in decimal
constexpr int kOtherField = 2;   // the text of the rule's othersf field (value maps)
constexpr int kReject = 3;       // no attribute; the record yields no definition
constexpr int kClearReject = 4;  // no attribute; the record's rejection is lifted
constexpr int kCutAppend = 5;    // the field cut at its first blank, then the text
                                 // of the next map entry (value maps)

// A value-map entry or a range-map str: an action or a text, never both.
struct MapEntry {
  enum Kind { kAction, kText };
  Kind kind;
  int action;        // kAction: one of kDrop ... kCutAppend
  const char* text;  // kText: never null
};

constexpr MapEntry Act(int action) { return {MapEntry::kAction, action, nullptr}; }
constexpr MapEntry Txt(const char* text) { return {MapEntry::kText, 0, text}; }

constexpr int kMapEntries = 10;

// Entry i applies to the i-th code of the field's code list, counting from 0; the
// entry after the last code applies to every other value. Unwritten entries are
// Act(kDrop).
struct ValueMap {
  MapEntry e[kMapEntries];
};

// An entry whose `to` is below its `from` ends the map; its str applies to every
// number that no earlier entry took. A text str beginning with ':' is arithmetic:
// operator ('*', '+', '-', '/'), then a decimal operand.
struct RangeEntry {
  int from;
  int to;
  MapEntry str;
};

constexpr RangeEntry RangeEnd(MapEntry str) { return {1, 0, str}; }

struct RangeMap {
  RangeEntry e[kMapEntries];
};

// How a rule forms its value.
struct Mapping {
  enum Kind { kKind, kValueMap, kRangeMap, kConstant };
  Kind kind;
  int code;              // kKind: kCopy, kSpread, kBaseName, kFileName, kPasswordReset
  const ValueMap* vmap;  // kValueMap: for character fields
  const RangeMap* rmap;  // kRangeMap: for numeric fields
  const char* text;      // kConstant: never null
};

constexpr Mapping ByKind(int code) { return {Mapping::kKind, code, nullptr, nullptr, nullptr}; }
constexpr Mapping ByMap(const ValueMap& map) {
  return {Mapping::kValueMap, 0, &map, nullptr, nullptr};
}
constexpr Mapping ByRange(const RangeMap& map) {
  return {Mapping::kRangeMap, 0, nullptr, &map, nullptr};
}
constexpr Mapping Const(const char* text) {
  return {Mapping::kConstant, 0, nullptr, nullptr, text};
}

constexpr int kEndField = -1;       // sfield of the rule that ends a rule set
constexpr int kConstantField = -2;  // sfield of a rule whose value is Mapping::text

// One translation rule: source field sfield becomes attribute dpred (an index into
// prednames) of a definition of class dstanid.
struct DirFieldTrans {
  int sfield;
  int dstanid;
  int dpred;
  Mapping mapping;
  // The field taken by action kOtherField. Its low byte is also the character put
  // between two values of one attribute within a definition (0: none).
  int othersf;
};

// One rule set applied to the records of table sdtab, whose fields are named by the
// layout of table sftab (also the index into TableName).
struct TTableRow {
  const DirFieldTrans* trans;  // null in the end row
  int sdtab;
  int sftab;
};

// The rule sets in the order they run; ends with a row whose trans is null. The
// order matters: a kSpread rule reaches only definitions committed before it.
constexpr int kTTableRows = 12;
extern const TTableRow TTable[kTTableRows + 1];

// Source table names by layout id, for the line that opens each rule set.
constexpr int kTableNames = 10;
extern const char* const TableName[kTableNames];

// The rule sets; each ends with a rule whose sfield is kEndField.
extern const DirFieldTrans DCTTrans[];
extern const DirFieldTrans FCTTrans[];
extern const DirFieldTrans PCTTrans[];
extern const DirFieldTrans PPTTrans[];
extern const DirFieldTrans SITTrans[];
extern const DirFieldTrans SIT2Trans[];
extern const DirFieldTrans SIT3Trans[];
extern const DirFieldTrans SNTTrans[];
extern const DirFieldTrans TCSTCPTrans[];
extern const DirFieldTrans TCSSNATrans[];
extern const DirFieldTrans TCTTrans[];
extern const DirFieldTrans TSTTrans[];

// Value maps.
extern const ValueMap YNMap;
extern const ValueMap ModelMap;
extern const ValueMap TypePtrMap;
extern const ValueMap DevTypeMap;
extern const ValueMap DCTTMap;
extern const ValueMap SysTmMap;
extern const ValueMap IOMap;
extern const ValueMap FxVarMap;
extern const ValueMap RecovMap;
extern const ValueMap BlankMap;
extern const ValueMap OpEnMap;
extern const ValueMap OpEn2Map;
extern const ValueMap RdOnlyMap;
extern const ValueMap RdOnly2Map;
extern const ValueMap DelMap;
extern const ValueMap Recov2Map;
extern const ValueMap PTypeMap;
extern const ValueMap ResiMap;
extern const ValueMap NoSysMap;
extern const ValueMap OnlySysMap;
extern const ValueMap TCPOnlyMap;
extern const ValueMap SNAOnlyMap;
extern const ValueMap StarHostMap;
extern const ValueMap CCTCPMap;
extern const ValueMap CCSNAMap;
extern const ValueMap RecovQMap;
extern const ValueMap DateFormMap;

// Range maps.
extern const RangeMap CWAVMap;
extern const RangeMap NumTraVMap;
extern const RangeMap TClassMap;
extern const RangeMap NonZeroVMap;
extern const RangeMap ZeroPortVMap;

#endif  // DEFSHIFTCORE_ADMSA_CONV_H_
