// The control file's record layouts, one per source table, and the name tables of
// the new release's resource classes and attributes.
//
// A raw record starts with its table's key character; each layout entry names a
// field by id and gives its raw offset, length, type and code list. Reassembly
// packs the entries' bytes back to back in layout order (see Rec in admsa_supp.h).
#ifndef DEFSHIFTCORE_ADMSA_TAB_H_
#define DEFSHIFTCORE_ADMSA_TAB_H_

// Source table ids; ids 0 to 8 have layouts. Also the index into Config::tab.
enum SourceTableId {
  DCTid = 0,
  FCTid = 1,
  PCTid = 2,
  PPTid = 3,
  SITid = 4,
  SNTid = 5,
  TCSid = 6,
  TCTid = 7,
  TSTid = 8,
  KBDid = 9,
  Expid = 10,
  LASTid = 11,
};

// Resource class ids of the new release; index into ResTypeArr, StanzaName and
// Forcfg::stz.
enum ResourceClassId {
  WDid = 0,
  TDDid = 1,
  FDid = 2,
  PDid = 3,
  TDid = 4,
  UDid = 5,
  CDid = 6,
  LDid = 7,
  TSDid = 8,
  RDid = 9,
  LSTid = 10,
};

// Field types (Entry::ctype).
constexpr int kCharField = 'X';    // characters
constexpr int kNumberField = '5';  // little-endian integer of len bytes
constexpr int kBitsField = '1';    // bit numbers (sign-on table only)

// One field of a layout. A negative field id ends the layout.
struct Entry {
  int field;  // field id
  int off;    // raw offset from the start of the raw record
  int len;    // length in bytes (at most kMaxFieldLen)
  int ctype;  // kCharField, kNumberField or kBitsField
  int start;  // range of valid values; 0 and 0 where none is given
  int end;
  const char* perm;  // code list: codes of exactly len bytes back to back, ended by
                     // the first code whose first byte is NUL; never null
};

// One table descriptor of TabList.
struct Tabl {
  int num;            // table id, also the index of the table's list in Config
  const Entry* fort;  // the layout
  int dlen;           // declared data length (read by nothing)
};

constexpr int kMaxFieldLen = 60;   // longest field of any layout
constexpr int kMaxRecLen = 246;    // longest reassembled record
constexpr int kRecWorkArea = 256;  // a work area that holds any reassembled record

extern const Entry DCTdef[];
extern const Entry FCTdef[];
extern const Entry PCTdef[];
extern const Entry PPTdef[];
extern const Entry SITdef[];
extern const Entry SNTdef[];
extern const Entry TCSdef[];
extern const Entry TCTdef[];
extern const Entry TSTdef[];

// The nine table descriptors in table-id order, then one descriptor of zeros.
extern const Tabl TabList[10];
// Key characters: position i is the key of TabList[i].
extern const char TablChars[];

// The layout of table id tid (0 to 8), or null.
const Entry* LayoutOf(int tid);
// The raw record length that the layout of tid needs: the furthest byte it names;
// 0 for an id without a layout.
int RawLengthNeeded(int tid);
// Reassembles the rawlen bytes at raw (raw may be null when rawlen is 0) by the
// layout of t into out: each entry's bytes in layout order, back to back. Bytes
// that the raw record does not hold are taken as blanks in character fields and
// zero in the others. Returns the reassembled length, or -1 when t has no layout
// or its layout does not fit in out (out may then hold part of the record).
int PackRecord(const Tabl* t, const unsigned char* raw, int rawlen,
               unsigned char (&out)[kRecWorkArea]);
// Copies the e.len bytes of the field that layout entry e describes, found at
// position pos of the reassembled record of reclen bytes at rec (see
// Rec::formatp), to out and puts one NUL behind them. Bytes that the record does
// not hold are taken as PackRecord takes them. Returns the number of bytes copied:
// e.len, which every layout entry keeps within 1 to kMaxFieldLen (a length outside
// 0 to kMaxFieldLen is cut to it).
int FieldAt(const Entry& e, const unsigned char* rec, int reclen, int pos,
            unsigned char (&out)[kMaxFieldLen + 1]);

// Attribute (predicate) names by id; several names recur under different ids.
constexpr int kPredCount = 97;
extern const char* const prednames[kPredCount];

// The predicate ids that code names: the key, the attributes the checks of the
// resource definition record look at, those quoted by their id alone, and a few
// that tests build rules with. The rule tables name theirs by number, row by row.
// Keep in step with prednames: admsa_tab_names.cpp fails the build when an id
// does not name the attribute given here, and admsa_conv.cpp when no rule of the
// class named by the prefix makes it.
enum PredId : int {
  kKeyPred = 0,                // _Key, the resource name
  kWDModelIdPred = 4,          // ModelId
  kWDNetNamePred = 5,          // NetName
  kWDDescriptionPred = 11,     // ResourceDescription
  kTDDDestTypePred = 20,       // DestType
  kTDDDescriptionPred = 31,    // ResourceDescription
  kTDDTriggerLevelPred = 33,   // TriggerLevel
  kFDDescriptionPred = 44,     // ResourceDescription
  kPDDescriptionPred = 51,     // ResourceDescription
  kTDGroupNamePred = 54,       // GroupName
  kTDPriorityPred = 56,        // Priority
  kTDDescriptionPred = 59,     // ResourceDescription
  kTDTWASizePred = 61,         // TWASize
  kUDPasswordPred = 62,        // TAVOPassword
  kUDOpIDPred = 64,            // OpID
  kCDListenerNamePred = 74,    // ListenerName
  kCDRemoteCodePagePred = 75,  // RemoteCodePageTR
  kCDDescriptionPred = 78,     // ResourceDescription
  kRDClassMaxTasksPred = 91,   // ClassMaxTasks
  kRDAuthenticationPred = 95,  // AuthenticationService
};

// The prednames name of id; "" for an id outside the table (every id inside it
// has a name).
const char* PredName(int id);
// The name of id as a number: ids of one name give the same number, so that the
// attributes of a definition are matched without comparing their texts. Every id
// outside the table gives the number of the name "".
int NameKey(int id);
// 1 when values of the attribute with predicate id FieldID are written as quoted
// text: its name holds one of MatchStrings, or it is one of the attributes quoted
// by id (TAVOPassword, OpID, RemoteCodePageTR); else 0, also for an id outside the
// table.
int NeedsQuotes(int FieldID);

// Class codes given to -c, by class id, then an empty end entry.
extern const char* const ResTypeArr[LSTid + 1];
// Class titles for the report and the command file, by class id, then an empty
// end entry at which loops over classes stop.
extern const char* const StanzaName[LSTid + 1];

// An attribute whose name contains one of these is written as quoted text; the
// list ends with an empty entry.
extern const char* const MatchStrings[5];

#endif  // DEFSHIFTCORE_ADMSA_TAB_H_
