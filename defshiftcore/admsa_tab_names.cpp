#include <string_view>

#include "admsa_tab.h"

// clang-format off
// Attribute names by predicate id. A name recurs under one id per class that uses
// it; unused ids keep their places so that the ids after them do not shift.
constexpr const char* prednames[kPredCount] = {
  /*  0 */ "_Key",
  /*  1 */ "ActivateOnStartup",
  /*  2 */ "CanStartATIs",
  /*  3 */ "GroupName",
  /*  4 */ "ModelId",
  /*  5 */ "NetName",
  /*  6 */ "NumColumns",
  /*  7 */ "NumLines",
  /*  8 */ "Priority",
  /*  9 */ "RemoteName",
  /* 10 */ "RemoteSysId",
  /* 11 */ "ResourceDescription",
  /* 12 */ "Highlight",
  /* 13 */ "Foreground",
  /* 14 */ "IsPrinter",
  /* 15 */ "Katakana",
  /* 16 */ "TCTUALen",
  /* 17 */ "UCTranFlag",
  /* 18 */ "DevType",
  /* 19 */ "GroupName",
  /* 20 */ "DestType",
  /* 21 */ "ExtrapartitionFile",
  /* 22 */ "FacilityId",
  /* 23 */ "FacilityType",
  /* 24 */ "IndirectQueueId",
  /* 25 */ "IOMode",
  /* 26 */ "RecordLen",
  /* 27 */ "RecordType",
  /* 28 */ "RecoveryType",
  /* 29 */ "RemoteName",
  /* 30 */ "RemoteSysId",
  /* 31 */ "ResourceDescription",
  /* 32 */ "TriggeredTransId",
  /* 33 */ "TriggerLevel",
  /* 34 */ "GroupName",
  /* 35 */ "BaseName",
  /* 36 */ "EnableStatus",
  /* 37 */ "AddOpt",
  /* 38 */ "DeleteOpt",
  /* 39 */ "OpenStatus",
  /* 40 */ "UpdateOpt",
  /* 41 */ "RecoverStatus",
  /* 42 */ "RemoteName",
  /* 43 */ "RemoteSysId",
  /* 44 */ "ResourceDescription",
  /* 45 */ "IndexName",
  /* 46 */ "GroupName",
  /* 47 */ "PathName",
  /* 48 */ "Permanent",
  /* 49 */ "RemoteName",
  /* 50 */ "RemoteSysId",
  /* 51 */ "ResourceDescription",
  /* 52 */ "ProgType",
  /* 53 */ "Resident",
  /* 54 */ "GroupName",
  /* 55 */ "ProgName",
  /* 56 */ "Priority",
  /* 57 */ "RemoteName",
  /* 58 */ "RemoteSysId",
  /* 59 */ "ResourceDescription",
  /* 60 */ "TClass",
  /* 61 */ "TWASize",
  /* 62 */ "TAVOPassword",
  /* 63 */ "GroupName",
  /* 64 */ "OpID",
  /* 65 */ "ResourceDescription",
  /* 66 */ "GroupName",
  /* 67 */ "Protocol",
  /* 68 */ "ResourceDescription",
  /* 69 */ "TCPAddress",
  /* 70 */ "TCPService",
  /* 71 */ "Protocol",
  /* 72 */ "GroupName",
  /* 73 */ "ConnectionType",
  /* 74 */ "ListenerName",
  /* 75 */ "RemoteCodePageTR",
  /* 76 */ "RemoteTCPAddress",
  /* 77 */ "RemoteTCPPort",
  /* 78 */ "ResourceDescription",
  /* 79 */ "DefaultSNAModeName",
  /* 80 */ "SNAConnectName",
  /* 81 */ "NamedPipeName",
  /* 82 */ "GroupName",
  /* 83 */ "RecoverFlag",
  /* 84 */ "RemoteSysId",
  /* 85 */ "RemoteName",
  /* 86 */ "ResourceDescription",
  /* 87 */ "ResourceDescription",
  /* 88 */ "CWASize",
  /* 89 */ "SysTraceBufferSize",
  /* 90 */ "MaxServer",
  /* 91 */ "ClassMaxTasks",
  /* 92 */ "LocalSysId",
  /* 93 */ "SysDump",
  /* 94 */ "DateForm",
  /* 95 */ "AuthenticationService",
  /* 96 */ "Don't use me!",
};

// Keep in step with ResourceClassId: one code and one title per class id, then the
// empty entry at which loops over the classes stop.
constexpr const char* ResTypeArr[LSTid + 1] = {
  /* WDid  */ "wd",
  /* TDDid */ "tdd",
  /* FDid  */ "fd",
  /* PDid  */ "pd",
  /* TDid  */ "td",
  /* UDid  */ "ud",
  /* CDid  */ "cd",
  /* LDid  */ "ld",
  /* TSDid */ "tsd",
  /* RDid  */ "rd",
  /* end   */ "",
};

constexpr const char* StanzaName[LSTid + 1] = {
  /* WDid  */ "Terminal Definitions",
  /* TDDid */ "Transient Data Definitions",
  /* FDid  */ "File Definitions",
  /* PDid  */ "Program Definitions",
  /* TDid  */ "Transaction Definitions",
  /* UDid  */ "User Definitions",
  /* CDid  */ "Gateway Definitions",
  /* LDid  */ "Listener Definitions",
  /* TSDid */ "Temporary Storage Definitions",
  /* RDid  */ "Region Definition",
  /* end   */ "",
};

constexpr const char* MatchStrings[5] = {"Name", "Id", "Description", "File", ""};
// clang-format on

// A table given fewer rows than its declared size is filled up with null entries;
// checking the last rows catches a row dropped anywhere above them.
static_assert(std::string_view(prednames[kPredCount - 1]) == "Don't use me!",
              "prednames needs all 97 names");
static_assert(std::string_view(ResTypeArr[RDid]) == "rd" && ResTypeArr[LSTid][0] == '\0',
              "one class code per class id");
static_assert(std::string_view(StanzaName[RDid]) == "Region Definition" &&
                  StanzaName[LSTid][0] == '\0',
              "one class title per class id");
static_assert(MatchStrings[4] != nullptr && MatchStrings[4][0] == '\0',
              "MatchStrings ends with an empty entry");

namespace {

constexpr bool EveryIdNamed() {
  for (const char* name : prednames) {
    if (name == nullptr || name[0] == '\0') return false;
  }
  return true;
}

constexpr bool Names(PredId id, std::string_view name) { return prednames[id] == name; }

}  // namespace

static_assert(EveryIdNamed(), "every predicate id has a name");
// clang-format off
static_assert(Names(kKeyPred,              "_Key"),                  "kKeyPred");
static_assert(Names(kWDModelIdPred,        "ModelId"),               "kWDModelIdPred");
static_assert(Names(kWDNetNamePred,        "NetName"),               "kWDNetNamePred");
static_assert(Names(kWDDescriptionPred,    "ResourceDescription"),   "kWDDescriptionPred");
static_assert(Names(kTDDDestTypePred,      "DestType"),              "kTDDDestTypePred");
static_assert(Names(kTDDDescriptionPred,   "ResourceDescription"),   "kTDDDescriptionPred");
static_assert(Names(kTDDTriggerLevelPred,  "TriggerLevel"),          "kTDDTriggerLevelPred");
static_assert(Names(kFDDescriptionPred,    "ResourceDescription"),   "kFDDescriptionPred");
static_assert(Names(kPDDescriptionPred,    "ResourceDescription"),   "kPDDescriptionPred");
static_assert(Names(kTDGroupNamePred,      "GroupName"),             "kTDGroupNamePred");
static_assert(Names(kTDPriorityPred,       "Priority"),              "kTDPriorityPred");
static_assert(Names(kTDDescriptionPred,    "ResourceDescription"),   "kTDDescriptionPred");
static_assert(Names(kTDTWASizePred,        "TWASize"),               "kTDTWASizePred");
static_assert(Names(kUDPasswordPred,       "TAVOPassword"),          "kUDPasswordPred");
static_assert(Names(kUDOpIDPred,           "OpID"),                  "kUDOpIDPred");
static_assert(Names(kCDListenerNamePred,   "ListenerName"),          "kCDListenerNamePred");
static_assert(Names(kCDRemoteCodePagePred, "RemoteCodePageTR"),      "kCDRemoteCodePagePred");
static_assert(Names(kCDDescriptionPred,    "ResourceDescription"),   "kCDDescriptionPred");
static_assert(Names(kRDClassMaxTasksPred,  "ClassMaxTasks"),         "kRDClassMaxTasksPred");
static_assert(Names(kRDAuthenticationPred, "AuthenticationService"), "kRDAuthenticationPred");
// clang-format on

const char* PredName(int id) { return id >= 0 && id < kPredCount ? prednames[id] : ""; }

namespace {

// Both tables below are made by the compiler: the names are read once, there.

// Position kPredCount stands for every id outside the table, named "".
struct NameKeys {
  int by_id[kPredCount + 1] = {};
};

constexpr std::string_view NameAt(int id) {
  return id >= 0 && id < kPredCount ? prednames[id] : std::string_view();
}

constexpr NameKeys MakeNameKeys() {
  NameKeys keys;
  for (int id = 0; id <= kPredCount; ++id) {
    keys.by_id[id] = id;
    for (int k = 0; k < id; ++k) {
      if (NameAt(k) == NameAt(id)) {
        keys.by_id[id] = k;
        break;
      }
    }
  }
  return keys;
}

constexpr NameKeys kNameKeys = MakeNameKeys();

struct Quoted {
  int by_id[kPredCount] = {};
};

constexpr int QuotedByName(int id) {
  const std::string_view name = prednames[id];
  for (const char* match : MatchStrings) {
    if (match == nullptr || match[0] == '\0') break;
    if (name.find(match) != std::string_view::npos) return 1;
  }
  return id == kUDPasswordPred || id == kUDOpIDPred || id == kCDRemoteCodePagePred ? 1 : 0;
}

constexpr Quoted MakeQuoted() {
  Quoted quoted;
  for (int id = 0; id < kPredCount; ++id) quoted.by_id[id] = QuotedByName(id);
  return quoted;
}

constexpr Quoted kQuoted = MakeQuoted();

}  // namespace

int NameKey(int id) { return kNameKeys.by_id[id >= 0 && id < kPredCount ? id : kPredCount]; }

int NeedsQuotes(int FieldID) {
  return FieldID >= 0 && FieldID < kPredCount ? kQuoted.by_id[FieldID] : 0;
}
