#include "admsa_tran_script.h"

#include <strings.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "admsa_errs.h"
#include "admsa_tab.h"
#include "admsa_tran_escape.h"

// clang-format off
const char* const TD_DeleteTransIds[kDeleteTransCount + 1] = {
  "QSAL", "QSAT", "QSBR", "QSCL", "QSCV", "QSDB", "QSDG", "QSDM", "QSEB", "QSEC",
  "QSET", "QSFE", "QSGN", "QSIN", "QSJN", "QSLG", "QSLP", "QSLT", "QSMS", "QSMT",
  "QSOF", "QSPG", "QSPS", "QSRB", "QSRC", "QSRS", "QSRT", "QSSD", "QSSP", "QSSY",
  "QSTC", "QSTD", "QSTP", "QSTR", "QSUA", "QSUT", "QSWK", "QSXR", "QSZA", "QSZQ",
  nullptr,
};
// clang-format on

const char FD_SysFilePrefix[] = "QVB";

const char PairTemplate[] = "%s=%s";
const char AddTemplate[] = "tavoadd -c %s -r %s -P %s";
const char UpdateTemplate[] = "tavoupdate -c %s -r %s -P %s ";
const char UpdateTemplateRD[] = "tavoupdate -c rd -r %s -P ";

namespace {

// Attribute ids the checks look at.
constexpr int kWDModelId = 4;
constexpr int kWDNetName = 5;
constexpr int kWDDescription = 11;
constexpr int kTDDDestType = 20;
constexpr int kTDDDescription = 31;
constexpr int kTDDTriggerLevel = 33;
constexpr int kFDDescription = 44;
constexpr int kPDDescription = 51;
constexpr int kTDDescription = 59;

const char kSystemQueue[] = "QMSG";
const char kIntrapartition[] = "intrapartition";

char* CopyText(const char* s) {
  char* copy = strdup(s);
  if (copy == nullptr) OutOfMemory(static_cast<long>(std::strlen(s)) + 1);
  return copy;
}

void TrimTrailingBlanks(char* s) {
  size_t n = std::strlen(s);
  while (n > 0 && s[n - 1] == ' ') s[--n] = '\0';
}

const char* OrEmpty(const char* s) { return s != nullptr ? s : ""; }

// The prednames name of AttrID, or null for an id outside the table.
const char* PredName(int AttrID) {
  if (AttrID < 0 || AttrID >= kPredCount) return nullptr;
  return prednames[AttrID];
}

// Writes lines to the command file until the stream refuses one, and keeps the
// error number of that refusal.
class LineWriter {
 public:
  explicit LineWriter(FILE* hFile) : hFile_(hFile) {}
  void Line(const std::string& text) {
    if (error_ == 0) error_ = ScriptWriteLine(hFile_, text);
  }
  int error() const { return error_; }

 private:
  FILE* hFile_;
  int error_ = 0;
};

}  // namespace

std::string ScriptFormat(const char* Format, ...) {
  va_list args;
  va_start(args, Format);
  va_list again;
  va_copy(again, args);
  std::string text;
  const int n = std::vsnprintf(nullptr, 0, Format, args);
  if (n > 0) {
    text.resize(static_cast<size_t>(n));
    // The string's own terminator slot takes vsnprintf's NUL.
    std::vsnprintf(&text[0], text.size() + 1, Format, again);
  }
  va_end(again);
  va_end(args);
  return text;
}

int ScriptWriteLine(FILE* hFile, const std::string& Line) {
  if (hFile == nullptr) return 0;
  const std::string text = ScriptEscape(Line) + '\n';
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), hFile) == text.size()) return 0;
  return errno != 0 ? errno : EIO;
}

AttrToScript::AttrToScript(const char* Name, int Type, const char* Region)
    : InitOk(0),
      ResourceName(nullptr),
      ResourceType{},
      ResourceID(-1),
      RegionName(nullptr),
      iResourceAttributes(0),
      Attributes{} {
  if (Name == nullptr || Region == nullptr || Type < WDid || Type > RDid) return;
  ResourceName = CopyText(Name);
  RegionName = CopyText(Region);
  ResourceID = Type;
  std::snprintf(ResourceType, sizeof ResourceType, "%s", ResTypeArr[Type]);
  InitOk = 1;
}

AttrToScript::~AttrToScript() {
  for (int i = 0; i < iResourceAttributes; ++i) std::free(Attributes[i]);
  std::free(ResourceName);
  std::free(RegionName);
}

void AttrToScript::Add(const char* Attr, const char* Value) {
  const std::string text = ScriptFormat(PairTemplate, OrEmpty(Attr), OrEmpty(Value));
  AddAttribute(text.c_str());
}

int AttrToScript::AddAttribute(const char* Attr) {
  if (!InitOk) return 0;
  if (iResourceAttributes >= kMaxAttributes) {
    // The command file cannot carry it; say so rather than lose it unseen.
    Error.Report(" .... resource '%s' has more than %d attributes; '%s' is not migrated",
                 ShownName(), kMaxAttributes, Attr);
    return 0;
  }
  char* copy = CopyText(Attr);
  TrimTrailingBlanks(copy);
  Attributes[iResourceAttributes++] = copy;
  return 0;
}

const char* AttrToScript::RetrieveAttribute(int AttrID, int* rIndex) const {
  *rIndex = -1;
  const char* name = PredName(AttrID);
  if (name == nullptr) return nullptr;
  const size_t len = std::strlen(name);
  for (int i = 0; i < iResourceAttributes; ++i) {
    if (strncasecmp(Attributes[i], name, len) == 0) {
      *rIndex = i;
      return Attributes[i];
    }
  }
  return nullptr;
}

const char* AttrToScript::RetrieveAttributeX(int Index) const {
  if (Index < 0 || Index >= iResourceAttributes) return nullptr;
  return Attributes[Index];
}

int AttrToScript::ReplaceAttribute(int AttrID, const char* Value) {
  int index;
  if (RetrieveAttribute(AttrID, &index) == nullptr) return -1;
  return ReplaceAttributeX(index, Value);
}

int AttrToScript::ReplaceAttributeX(int Index, const char* Value) {
  if (!InitOk || Index < 0 || Index >= iResourceAttributes || Value == nullptr) return -1;
  char* copy = CopyText(Value);
  TrimTrailingBlanks(copy);
  std::free(Attributes[Index]);
  Attributes[Index] = copy;
  return 0;
}

int AttrToScript::DeleteAttribute(int AttrID) {
  int index;
  if (RetrieveAttribute(AttrID, &index) == nullptr) return -1;
  return DeleteAttributeX(index);
}

int AttrToScript::DeleteAttributeX(int Index) {
  if (!InitOk || Index < 0 || Index >= iResourceAttributes) return -1;
  std::free(Attributes[Index]);
  for (int i = Index + 1; i < iResourceAttributes; ++i) Attributes[i - 1] = Attributes[i];
  Attributes[--iResourceAttributes] = nullptr;
  return 0;
}

int AttrToScript::Test(int AttrID, const char* TestString, int* rIndex) const {
  const char* attr = RetrieveAttribute(AttrID, rIndex);
  if (attr == nullptr) return 0;
  const char* equals = std::strchr(attr, '=');
  return equals != nullptr && std::strcmp(equals + 1, TestString) == 0 ? 1 : 0;
}

const char* AttrToScript::ShownName() const {
  return ResourceID == RDid ? RegionName : ResourceName;
}

void AttrToScript::LogDescription(int DescID) const {
  int index;
  const char* description = RetrieveAttribute(DescID, &index);
  if (description == nullptr) return;
  Error.Report("      > (%s)", ShowControlCharacters(ModifyQuotes(description).c_str()).c_str());
}

int AttrToScript::Verify() {
  if (!InitOk) return 0;
  if (!VerifyWritable()) {
    Error.Report(
        " .... resource '%s' holds characters that cannot be written to a command file, and is "
        "not migrated",
        ShowControlCharacters(ShownName()).c_str());
    // The description is found by its name, which is the same in every class.
    LogDescription(kWDDescription);
    return 0;
  }
  // The commands take the word after -P for the name: without one, the first
  // attribute would name the resource.
  if (ResourceID != RDid && ResourceName[0] == '\0') {
    Error.Report(" .... a resource without a name is not migrated");
    LogDescription(kWDDescription);
    return 0;
  }
  switch (ResourceID) {
    case WDid:
      return VerifyWD();
    case TDDid:
      return VerifyTDD();
    case FDid:
      return VerifyFD();
    case PDid:
      return VerifyPD();
    case TDid:
      return VerifyTD();
    default:
      return 1;
  }
}

int AttrToScript::VerifyWritable() const {
  // A line feed or carriage return would start a command line of the value's
  // choosing; no escape of the command interpreter protects against that.
  if (HoldsControlCharacter(ResourceName) || HoldsControlCharacter(RegionName)) return 0;
  for (int i = 0; i < iResourceAttributes; ++i) {
    if (HoldsControlCharacter(Attributes[i])) return 0;
  }
  return 1;
}

int AttrToScript::VerifyWD() {
  int model;
  int net;
  const char* modelid = RetrieveAttribute(kWDModelId, &model);
  if (modelid == nullptr) return 1;
  const char* netname = RetrieveAttribute(kWDNetName, &net);
  if (netname == nullptr || Test(kWDNetName, "", &net) == 1) return 1;
  Error.Report(" .... resource '%s': '%s' conflicts with '%s'", ResourceName, modelid, netname);
  Error.Report("      > NetName value reset to \"\"");
  const std::string reset = ScriptFormat("%s=\\\"\\\"", prednames[kWDNetName]);
  ReplaceAttributeX(net, reset.c_str());
  LogDescription(kWDDescription);
  return 1;
}

int AttrToScript::VerifyTDD() {
  int result = 1;
  if (std::strcmp(ResourceName, kSystemQueue) == 0) {
    Error.Report(" .... resource '%s' is a TAVO system resource, and is not migrated",
                 ResourceName);
    LogDescription(kTDDDescription);
    result = 0;
  }
  int index;
  if (RetrieveAttribute(kTDDDestType, &index) != nullptr &&
      Test(kTDDDestType, kIntrapartition, &index) == 0) {
    // A trigger level means nothing to a queue that is not intrapartition, and
    // the new release refuses it there.
    DeleteAttribute(kTDDTriggerLevel);
  }
  return result;
}

int AttrToScript::VerifyFD() {
  if (std::strncmp(ResourceName, FD_SysFilePrefix, std::strlen(FD_SysFilePrefix)) != 0) return 1;
  Error.Report(" .... resource '%s'is a Version 2.0 system file, and is not migrated",
               ResourceName);
  LogDescription(kFDDescription);
  return 0;
}

int AttrToScript::VerifyPD() {
  if (std::strncmp(ResourceName, FD_SysFilePrefix, std::strlen(FD_SysFilePrefix)) != 0) return 1;
  Error.Report(" .... resource '%s' is a Version 2.0 system program, and is not migrated",
               ResourceName);
  LogDescription(kPDDescription);
  return 0;
}

int AttrToScript::VerifyTD() {
  for (const char* const* id = TD_DeleteTransIds; *id != nullptr; ++id) {
    if (std::strcmp(*id, ResourceName) == 0) {
      Error.Report(" .... resource '%s' is a Version 2.0 supplied transaction, and is not migrated",
                   ResourceName);
      LogDescription(kTDDescription);
      return 0;
    }
  }
  return 1;
}

std::string AttrToScript::ModifyQuotes(const char* Source) {
  std::string out;
  for (const char* p = Source; *p != '\0'; ++p) {
    if (p[0] == '\\' && p[1] == '"') continue;
    out += *p;
  }
  return out;
}

int AttrToScript::BuildCommand(std::vector<std::string>* rCommandArray) const {
  rCommandArray->clear();
  const bool region = ResourceID == RDid;
  const int n = iResourceAttributes;
  const int lines = n / 2 + n % 2 + (region ? 0 : 1);
  rCommandArray->reserve(static_cast<size_t>(lines));
  int start = 0;
  if (!region) {
    rCommandArray->push_back(ScriptFormat(AddTemplate, ResourceType, RegionName, ResourceName));
    start = 1;
  }
  for (int p = start; p < lines; ++p) {
    std::string line = region
                           ? ScriptFormat(UpdateTemplateRD, RegionName)
                           : ScriptFormat(UpdateTemplate, ResourceType, RegionName, ResourceName);
    for (int a = 2 * (p - start); a <= 2 * (p - start) + 1 && a < n; ++a) {
      const char* attr = Attributes[a];
      line += ' ';
      // The command interpreter splits its arguments at blanks.
      if (std::strchr(attr, ' ') != nullptr) {
        line += '"';
        line += attr;
        line += '"';
      } else {
        line += attr;
      }
    }
    rCommandArray->push_back(line);
  }
  return 0;
}

int AttrToScript::ShowStanza(FILE* hFile) const {
  LineWriter out(hFile);
  out.Line("");
  out.Line("@REM ----------------------------------------------");
  out.Line(ScriptFormat("@REM %s", StanzaName[ResourceID]));
  if (ResourceID != RDid) {
    out.Line("");
    out.Line(ScriptFormat("@REM %s:", ResourceName));
  }
  for (int i = 0; i < iResourceAttributes; ++i) {
    out.Line("@REM \t" + ModifyQuotes(Attributes[i]));
  }
  out.Line("");
  return out.error();
}

int AttrToScript::CreateScript(FILE* hFile) {
  if (!InitOk) return 0;
  std::vector<std::string> lines;
  BuildCommand(&lines);
  if (lines.empty()) return 0;
  const int stanza = ShowStanza(hFile);
  if (stanza != 0) return stanza;
  LineWriter out(hFile);
  for (const std::string& line : lines) out.Line(line);
  return out.error();
}
