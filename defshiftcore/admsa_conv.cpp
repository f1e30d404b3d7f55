#include "admsa_conv.h"

#include "admsa_tab.h"

namespace {

// The value an empty quoted attribute takes: backslash, quote, backslash, quote.
constexpr char kEmptyQuoted[] = "\\\"\\\"";

constexpr DirFieldTrans kEndRule = {kEndField, 0, 0, ByKind(kCopy), 0};

}  // namespace

// clang-format off
const char* const TableName[kTableNames] = {
  "Destination Control Table",
  "File Control Table",
  "Program Control Table",
  "Processing Program Table",
  "System Initialisation Table",
  "Signon Table",
  "Connection and session Table",
  "Terminal Contol Table",
  "Temporary Storage Table",
  "Workstation Setup Table",
};

// Value maps: entry i serves code i of the field's code list, the entry after the
// last code every other value.
constexpr ValueMap YNMap       = {{Txt("yes"), Txt("no"), Act(kDrop)}};
constexpr ValueMap ModelMap    = {{Act(kOtherField), Act(kDrop), Act(kDrop)}};
constexpr ValueMap TypePtrMap  = {{Act(kDrop), Txt("yes"), Act(kDrop), Txt("yes"), Act(kDrop),
                                   Act(kDrop), Act(kDrop)}};
constexpr ValueMap DevTypeMap  = {{Txt("K100"), Txt("K100P"), Txt("K100J"), Txt("K100JP"),
                                   Txt("K200"), Txt("sequential"), Act(kDrop)}};
constexpr ValueMap DCTTMap     = {{Txt("intrapartition"), Txt("remote"), Txt("indirect"),
                                   Txt("extrapartition"), Txt("intrapartition")}};
constexpr ValueMap SysTmMap    = {{Txt("system"), Txt("terminal")}};
constexpr ValueMap IOMap       = {{Txt("input"), Txt("output"), Act(kDrop), Act(kDrop)}};
constexpr ValueMap FxVarMap    = {{Txt("fixed_length"), Txt("variable_length"), Act(kDrop),
                                   Act(kDrop)}};
constexpr ValueMap RecovMap    = {{Txt("logical"), Txt("none"), Act(kDrop), Act(kDrop)}};
constexpr ValueMap BlankMap    = {{Act(kDrop), Act(kCopyValue)}};
constexpr ValueMap OpEnMap     = {{Txt("enabled"), Txt("enabled"), Txt("enabled"), Txt("enabled"),
                                   Txt("disabled"), Act(kDrop)}};
constexpr ValueMap OpEn2Map    = {{Txt("open"), Txt("open"), Txt("closed"), Txt("closed"),
                                   Txt("closed"), Act(kDrop)}};
constexpr ValueMap RdOnlyMap   = {{Act(kDrop), Act(kDrop), Txt("notaddable"), Act(kDrop)}};
constexpr ValueMap RdOnly2Map  = {{Act(kDrop), Act(kDrop), Txt("notupdatable"), Act(kDrop)}};
constexpr ValueMap DelMap      = {{Act(kDrop), Act(kDrop), Txt("deletable"), Act(kDrop)}};
constexpr ValueMap Recov2Map   = {{Txt("recoverable"), Txt("notrecoverable"), Act(kDrop),
                                   Act(kDrop)}};
constexpr ValueMap PTypeMap    = {{Txt("program"), Txt("map"), Txt("table"), Act(kDrop)}};
constexpr ValueMap ResiMap     = {{Txt("yes"), Txt("yes"), Txt("no"), Act(kDrop)}};
constexpr ValueMap NoSysMap    = {{Act(kDrop), Act(kReject), Act(kDrop)}};
constexpr ValueMap OnlySysMap  = {{Act(kReject), Act(kDrop), Act(kReject)}};
constexpr ValueMap TCPOnlyMap  = {{Act(kReject), Act(kReject), Act(kDrop), Act(kReject)}};
constexpr ValueMap SNAOnlyMap  = {{Act(kDrop), Act(kReject), Act(kReject), Act(kReject)}};
constexpr ValueMap StarHostMap = {{Txt(kEmptyQuoted), Act(kOtherField)}};
constexpr ValueMap CCTCPMap    = {{Act(kCutAppend), Txt("TCP")}};
constexpr ValueMap CCSNAMap    = {{Act(kCutAppend), Txt("SNA")}};
constexpr ValueMap RecovQMap   = {{Txt("yes"), Txt("no"), Txt("no")}};
constexpr ValueMap DateFormMap = {{Txt("ddmmyy"), Txt("mmddyy"), Txt("yymmdd"), Txt("ddmmyy")}};

// Range maps: the first entry holding the number decides; the end entry takes the rest.
constexpr RangeMap CWAVMap      = {{{513, 3584, Act(kCopyValue)},   RangeEnd(Txt("512"))}};
constexpr RangeMap NumTraVMap   = {{{200, 2048, Txt(":*100")},      RangeEnd(Txt("16384"))}};
constexpr RangeMap TClassMap    = {{{0,   0,    Txt("1")},          RangeEnd(Txt("1"))}};
constexpr RangeMap NonZeroVMap  = {{{0,   0,    Act(kReject)},      RangeEnd(Act(kDrop))}};
constexpr RangeMap ZeroPortVMap = {{{0,   0,    Txt(kEmptyQuoted)}, RangeEnd(Act(kDrop))}};

constexpr DirFieldTrans DCTTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1015,   TDDid,    0,    ByKind(kCopy),          0 },
  {  1014,   TDDid,   19,    ByKind(kCopy),          0 },
  {   700,   TDDid,   20,    ByMap(DCTTMap),         0 },
  {   709,   TDDid,   21,    ByKind(kFileName),      0 },
  {   705,   TDDid,   22,    ByMap(BlankMap),        0 },
  {   705,   TDDid,   23,    ByMap(SysTmMap),        0 },
  {   713,   TDDid,   24,    ByMap(BlankMap),        0 },
  {   706,   TDDid,   25,    ByMap(IOMap),           0 },
  {   711,   TDDid,   26,    ByKind(kCopy),          0 },
  {   707,   TDDid,   27,    ByMap(FxVarMap),        0 },
  {   702,   TDDid,   28,    ByMap(RecovMap),        0 },
  {   712,   TDDid,   29,    ByMap(BlankMap),        0 },
  {   710,   TDDid,   30,    ByMap(BlankMap),        0 },
  {   701,   TDDid,   31,    ByKind(kCopy),          0 },
  {   704,   TDDid,   32,    ByMap(BlankMap),        0 },
  {   703,   TDDid,   33,    ByKind(kCopy),          0 },
  kEndRule,
};

constexpr DirFieldTrans FCTTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1007,   FDid,     0,    ByKind(kCopy),          0 },
  {  1006,   FDid,    34,    ByKind(kCopy),          0 },
  {   300,   FDid,    35,    ByKind(kBaseName),      0 },
  {   300,   FDid,    45,    ByKind(kBaseName),      0 },
  {   301,   FDid,    36,    ByMap(OpEnMap),         0 },
  {   301,   FDid,    39,    ByMap(OpEn2Map),        0 },
  {   302,   FDid,    37,    ByMap(RdOnlyMap),       0 },
  {   302,   FDid,    40,    ByMap(RdOnly2Map),      0 },
  {   302,   FDid,    38,    ByMap(DelMap),          0 },
  {   302,   FDid,    41,    ByMap(Recov2Map),       0 },
  {   305,   FDid,    42,    ByMap(BlankMap),        0 },
  {   304,   FDid,    43,    ByMap(BlankMap),        0 },
  {   306,   FDid,    44,    ByKind(kCopy),          0 },
  kEndRule,
};

constexpr DirFieldTrans PCTTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1003,   TDid,     0,    ByKind(kCopy),          0 },
  {  1002,   TDid,    54,    ByKind(kCopy),          0 },
  {   100,   TDid,    55,    ByKind(kCopy),          0 },
  {   108,   TDid,    56,    ByKind(kCopy),          0 },
  {   105,   TDid,    57,    ByMap(BlankMap),        0 },
  {   104,   TDid,    58,    ByMap(BlankMap),        0 },
  {   106,   TDid,    59,    ByKind(kCopy),          0 },
  {   109,   TDid,    60,    ByRange(TClassMap),     0 },
  kEndRule,
};

constexpr DirFieldTrans PPTTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1017,   PDid,     0,    ByKind(kCopy),          0 },
  {  1016,   PDid,    46,    ByKind(kCopy),          0 },
  {   802,   PDid,    49,    ByMap(BlankMap),        0 },
  {   801,   PDid,    50,    ByMap(BlankMap),        0 },
  {   804,   PDid,    51,    ByKind(kCopy),          0 },
  {   803,   PDid,    52,    ByMap(PTypeMap),        0 },
  {  1017,   PDid,    47,    ByKind(kCopy),          0 },
  {   800,   PDid,    53,    ByMap(ResiMap),         0 },
  kEndRule,
};

// Rules 4 to 13 join the ten class limits into one ClassMaxTasks, separated by ','.
constexpr DirFieldTrans SITTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {     0,   RDid,    87,    ByKind(kCopy),          0 },
  {     1,   RDid,    88,    ByRange(CWAVMap),       0 },
  {    10,   RDid,    89,    ByRange(NumTraVMap),    0 },
  {    11,   RDid,    90,    ByKind(kCopy),          0 },
  {    26,   RDid,    91,    ByKind(kCopy),         ',' },
  {    27,   RDid,    91,    ByKind(kCopy),         ',' },
  {    28,   RDid,    91,    ByKind(kCopy),         ',' },
  {    29,   RDid,    91,    ByKind(kCopy),         ',' },
  {    30,   RDid,    91,    ByKind(kCopy),         ',' },
  {    31,   RDid,    91,    ByKind(kCopy),         ',' },
  {    32,   RDid,    91,    ByKind(kCopy),         ',' },
  {    33,   RDid,    91,    ByKind(kCopy),         ',' },
  {    34,   RDid,    91,    ByKind(kCopy),         ',' },
  {    35,   RDid,    91,    ByKind(kCopy),         ',' },
  {    18,   RDid,    92,    ByKind(kCopy),         ',' },
  {    20,   RDid,    93,    ByMap(YNMap),           0 },
  {    21,   RDid,    94,    ByMap(DateFormMap),     0 },
  {     2,   TDid,    61,    ByKind(kSpread),        0 },
  {    -2,   RDid,    95,    Const("TAVO"),          0 },
  kEndRule,
};

// Rule 2 is a filter: a zero field 44 rejects the listener.
constexpr DirFieldTrans SIT2Trans[] = {
  // sfield  dstanid  dpred  mapping                               othersf
  {  1000,   LDid,     0,    ByMap(CCTCPMap),                       0 },
  {  1000,   LDid,    66,    ByKind(kCopy),                         0 },
  {    44,   LDid,     0,    ByRange(NonZeroVMap),                  0 },
  {    -2,   LDid,    67,    Const("TCP"),                          0 },
  {  1020,   LDid,    69,    ByMap(StarHostMap),                   42 },
  {    43,   LDid,    70,    ByRange(ZeroPortVMap),                 0 },
  {    -2,   LDid,    68,    Const("Translated TCP/IP listener"),   0 },
  kEndRule,
};

constexpr DirFieldTrans SIT3Trans[] = {
  // sfield  dstanid  dpred  mapping                               othersf
  {  1000,   LDid,     0,    ByMap(CCSNAMap),                       0 },
  {  1000,   LDid,    66,    ByKind(kCopy),                         0 },
  {    -2,   LDid,    67,    Const("SNA"),                          0 },
  {    -2,   LDid,    68,    Const("Translated SNA listener"),      0 },
  kEndRule,
};

constexpr DirFieldTrans SNTTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1005,   UDid,     0,    ByKind(kCopy),          0 },
  {   200,   UDid,    62,    ByKind(kPasswordReset), 0 },
  {  1004,   UDid,    63,    ByMap(BlankMap),        0 },
  {    -2,   UDid,    64,    Const(""),              0 },
  {   206,   UDid,    65,    ByKind(kCopy),          0 },
  kEndRule,
};

// Rules 1 and 2 are filters: only system entries of the TCP protocol pass.
constexpr DirFieldTrans TCSTCPTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1011,   CDid,     0,    ByKind(kCopy),          0 },
  {  1019,   CDid,     0,    ByMap(OnlySysMap),      0 },
  {   500,   CDid,     0,    ByMap(TCPOnlyMap),      0 },
  {  1010,   CDid,    72,    ByKind(kCopy),          0 },
  {    -2,   CDid,    73,    Const("tavo_tcp"),      0 },
  {  1010,   CDid,    74,    ByMap(CCTCPMap),        0 },
  {   514,   CDid,    75,    ByKind(kCopy),          0 },
  {   516,   CDid,    76,    ByKind(kCopy),          0 },
  {   517,   CDid,    77,    ByKind(kCopy),          0 },
  {   502,   CDid,    78,    ByKind(kCopy),          0 },
  kEndRule,
};

// Rules 1 and 2 are filters: only system entries of the SNA protocol pass.
constexpr DirFieldTrans TCSSNATrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1011,   CDid,     0,    ByKind(kCopy),          0 },
  {  1019,   CDid,     0,    ByMap(OnlySysMap),      0 },
  {   500,   CDid,     0,    ByMap(SNAOnlyMap),      0 },
  {  1010,   CDid,    72,    ByKind(kCopy),          0 },
  {    -2,   CDid,    73,    Const("local_sna"),     0 },
  {  1010,   CDid,    74,    ByMap(CCSNAMap),        0 },
  {   508,   CDid,    79,    ByKind(kCopy),          0 },
  {   514,   CDid,    75,    ByKind(kCopy),          0 },
  {   510,   CDid,    80,    ByKind(kCopy),          0 },
  {   502,   CDid,    78,    ByKind(kCopy),          0 },
  kEndRule,
};

// Rule 16 is a filter: system entries are connections, not terminals.
constexpr DirFieldTrans TCTTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1009,   WDid,     0,    ByKind(kCopy),          0 },
  {   423,   WDid,     1,    ByMap(YNMap),           0 },
  {   422,   WDid,     2,    ByMap(YNMap),           0 },
  {  1008,   WDid,     3,    ByKind(kCopy),          0 },
  {   402,   WDid,     4,    ByMap(ModelMap),     1009 },
  {   400,   WDid,     5,    ByKind(kCopy),          0 },
  {   409,   WDid,     6,    ByKind(kCopy),          0 },
  {   407,   WDid,     7,    ByKind(kCopy),          0 },
  {   421,   WDid,     8,    ByKind(kCopy),          0 },
  {   406,   WDid,    11,    ByKind(kCopy),          0 },
  {   419,   WDid,    12,    ByMap(YNMap),           0 },
  {   418,   WDid,    13,    ByMap(YNMap),           0 },
  {   401,   WDid,    14,    ByMap(TypePtrMap),      0 },
  {   401,   WDid,    18,    ByMap(DevTypeMap),      0 },
  {   420,   WDid,    16,    ByKind(kCopy),          0 },
  {   411,   WDid,    17,    ByMap(YNMap),           0 },
  {  1018,   WDid,     0,    ByMap(NoSysMap),        0 },
  kEndRule,
};

constexpr DirFieldTrans TSTTrans[] = {
  // sfield  dstanid  dpred  mapping                othersf
  {  1013,   TSDid,    0,    ByKind(kCopy),          0 },
  {  1012,   TSDid,   82,    ByKind(kCopy),          0 },
  {   601,   TSDid,   83,    ByMap(RecovQMap),       0 },
  {   602,   TSDid,   84,    ByMap(BlankMap),        0 },
  {   603,   TSDid,   85,    ByMap(BlankMap),        0 },
  {   604,   TSDid,   86,    ByKind(kCopy),          0 },
  kEndRule,
};

constexpr TTableRow TTable[kTTableRows + 1] = {
  // trans         sdtab   sftab
  { DCTTrans,      DCTid,  DCTid },
  { FCTTrans,      FCTid,  FCTid },
  { PCTTrans,      PCTid,  PCTid },
  { PPTTrans,      PPTid,  PPTid },
  { SITTrans,      SITid,  SITid },
  { SIT2Trans,     SITid,  SITid },
  { SIT3Trans,     SITid,  SITid },
  { SNTTrans,      SNTid,  SNTid },
  { TCSTCPTrans,   TCTid,  TCSid },
  { TCSSNATrans,   TCTid,  TCSid },
  { TCTTrans,      TCTid,  TCTid },
  { TSTTrans,      TSTid,  TSTid },
  { nullptr,       0,      0     },
};
// clang-format on

namespace {

// Compile-time checks that keep the engine's assumptions true for every table:
// tags and payloads agree, every range map has its end entry, action kCutAppend is
// followed by the text it appends, and range maps use only the actions they can.

constexpr int kMaxRules = 64;

constexpr bool SoundEntry(const MapEntry& m, bool range) {
  if (m.kind == MapEntry::kText) return m.text != nullptr;
  if (m.action < kDrop || m.action > kCutAppend) return false;
  return !range || (m.action != kOtherField && m.action != kCutAppend);
}

constexpr bool SoundValueMap(const ValueMap* map) {
  if (map == nullptr) return false;
  for (int i = 0; i < kMapEntries; ++i) {
    if (!SoundEntry(map->e[i], false)) return false;
    if (map->e[i].kind == MapEntry::kAction && map->e[i].action == kCutAppend &&
        (i + 1 >= kMapEntries || map->e[i + 1].kind != MapEntry::kText)) {
      return false;
    }
  }
  return true;
}

constexpr bool SoundRangeMap(const RangeMap* map) {
  if (map == nullptr) return false;
  for (int i = 0; i < kMapEntries; ++i) {
    if (!SoundEntry(map->e[i].str, true)) return false;
    if (map->e[i].to < map->e[i].from) return true;
  }
  return false;
}

constexpr bool SoundRule(const DirFieldTrans& r) {
  if (r.dstanid < 0 || r.dstanid >= LSTid || r.dpred < 0 || r.dpred >= kPredCount) return false;
  if ((r.sfield == kConstantField) != (r.mapping.kind == Mapping::kConstant)) return false;
  switch (r.mapping.kind) {
    case Mapping::kKind:
      return r.mapping.code == kCopy || r.mapping.code == kSpread || r.mapping.code == kBaseName ||
             r.mapping.code == kFileName || r.mapping.code == kPasswordReset;
    case Mapping::kValueMap:
      return SoundValueMap(r.mapping.vmap);
    case Mapping::kRangeMap:
      return SoundRangeMap(r.mapping.rmap);
    case Mapping::kConstant:
      return r.mapping.text != nullptr;
  }
  return false;
}

constexpr bool SoundTTable() {
  int row = 0;
  for (; row < kTTableRows && TTable[row].trans != nullptr; ++row) {
    const DirFieldTrans* rules = TTable[row].trans;
    if (TTable[row].sdtab < DCTid || TTable[row].sdtab > TSTid) return false;
    if (TTable[row].sftab < DCTid || TTable[row].sftab > TSTid) return false;
    int j = 0;
    for (; j < kMaxRules && rules[j].sfield != kEndField; ++j) {
      if (!SoundRule(rules[j])) return false;
    }
    if (j == kMaxRules) return false;
  }
  return row == kTTableRows && TTable[row].trans == nullptr;
}

static_assert(SoundTTable(), "a translation rule table is malformed");

// Whether a rule of TTable makes attribute pred of definitions of class cls.
constexpr bool RuleMakes(int cls, int pred) {
  for (int row = 0; row < kTTableRows; ++row) {
    for (const DirFieldTrans* r = TTable[row].trans; r->sfield != kEndField; ++r) {
      if (r->dstanid == cls && r->dpred == pred) return true;
    }
  }
  return false;
}

// The class that an id of PredId names by its prefix makes that attribute.
// clang-format off
static_assert(RuleMakes(WDid,  kWDModelIdPred),        "kWDModelIdPred");
static_assert(RuleMakes(WDid,  kWDNetNamePred),        "kWDNetNamePred");
static_assert(RuleMakes(WDid,  kWDDescriptionPred),    "kWDDescriptionPred");
static_assert(RuleMakes(TDDid, kTDDDestTypePred),      "kTDDDestTypePred");
static_assert(RuleMakes(TDDid, kTDDDescriptionPred),   "kTDDDescriptionPred");
static_assert(RuleMakes(TDDid, kTDDTriggerLevelPred),  "kTDDTriggerLevelPred");
static_assert(RuleMakes(FDid,  kFDDescriptionPred),    "kFDDescriptionPred");
static_assert(RuleMakes(PDid,  kPDDescriptionPred),    "kPDDescriptionPred");
static_assert(RuleMakes(TDid,  kTDGroupNamePred),      "kTDGroupNamePred");
static_assert(RuleMakes(TDid,  kTDPriorityPred),       "kTDPriorityPred");
static_assert(RuleMakes(TDid,  kTDDescriptionPred),    "kTDDescriptionPred");
static_assert(RuleMakes(TDid,  kTDTWASizePred),        "kTDTWASizePred");
static_assert(RuleMakes(UDid,  kUDPasswordPred),       "kUDPasswordPred");
static_assert(RuleMakes(UDid,  kUDOpIDPred),           "kUDOpIDPred");
static_assert(RuleMakes(CDid,  kCDListenerNamePred),   "kCDListenerNamePred");
static_assert(RuleMakes(CDid,  kCDRemoteCodePagePred), "kCDRemoteCodePagePred");
static_assert(RuleMakes(CDid,  kCDDescriptionPred),    "kCDDescriptionPred");
static_assert(RuleMakes(RDid,  kRDClassMaxTasksPred),  "kRDClassMaxTasksPred");
static_assert(RuleMakes(RDid,  kRDAuthenticationPred), "kRDAuthenticationPred");
// clang-format on

}  // namespace
