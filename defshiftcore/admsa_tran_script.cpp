#include "admsa_tran_script.h"

#include <strings.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "admsa_account.h"
#include "admsa_codepage_map.h"
#include "admsa_errs.h"
#include "admsa_journal.h"
#include "admsa_supp_text.h"
#include "admsa_tab.h"
#include "admsa_tran_check.h"
#include "admsa_tran_escape.h"
#include "admsa_tran_pack.h"

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

const char kSystemQueue[] = "QMSG";
const char kIntrapartition[] = "intrapartition";

// s holds n characters; returns how many are left.
size_t TrimTrailingBlanks(char* s, size_t n) {
  while (n > 0 && s[n - 1] == ' ') s[--n] = '\0';
  return n;
}

size_t TrimTrailingBlanks(char* s) { return TrimTrailingBlanks(s, std::strlen(s)); }

const char* OrEmpty(const char* s) { return s != nullptr ? s : ""; }

// Writes the n bytes at data; 0, or the error number of the failure.
int WriteAll(FILE* hFile, const char* data, size_t n) {
  return ErrorOf([&] { return std::fwrite(data, 1, n, hFile) == n; });
}

// Writes the n bytes of a line that needs no escaping, and its newline.
int WriteLineAsIs(FILE* hFile, const char* data, size_t n) {
  return ErrorOf(
      [&] { return std::fwrite(data, 1, n, hFile) == n && std::fputc('\n', hFile) != EOF; });
}

// Appends Template to *rOut with each %s replaced by the next of Args; any other
// % stands for itself. The templates of the command lines hold no other
// conversion: put together here, they spare the C runtime's formatting twice for
// every definition.
void AppendTemplate(const char* Template, std::initializer_list<std::string_view> Args,
                    std::string* rOut) {
  const std::string_view* arg = Args.begin();
  const char* p = Template;
  while (const char* percent = std::strchr(p, '%')) {
    rOut->append(p, static_cast<size_t>(percent - p));
    p = percent + 1;
    if (*p == 's') {
      if (arg != Args.end()) rOut->append(*arg++);
      ++p;
    } else {
      rOut->push_back('%');
    }
  }
  rOut->append(p);
}

}  // namespace

// The lines of one definition, composed into one text for one write.
class AttrToScript::Lines {
 public:
  Lines() { text_.reserve(kUsualScript); }

  // Starts a line: what is appended to the text returned, until End or
  // EndCommand, is the line.
  std::string* Begin() { return &text_; }
  void End() {
    text_.push_back('\n');
    ends_.push_back(text_.size());
  }
  // Ends a tavoadd or tavoupdate line, which Escaped gives a check and may
  // leave out.
  void EndCommand() {
    End();
    commands_.push_back(ends_.size() - 1);
  }
  void Add(const char* line) {
    Begin()->append(line);
    End();
  }

  // The lines, each escaped as ScriptWriteLine escapes it; with Checks, each
  // command line escaped as it must be to take its check after it, and those
  // that the journal of Checks holds left out. Empty when the journal holds
  // every command of the definition.
  const std::string& Escaped(CommandChecks* Checks) {
    if (Checks != nullptr) return Checked(Checks);
    // Most definitions hold none of the characters that need escaping: one look
    // at the whole text settles them, and only the others are taken line by line.
    if (!NeedsEscape(text_)) return text_;
    escaped_.clear();
    size_t start = 0;
    for (const size_t end : ends_) {
      AppendScriptEscaped(text_.data() + start, end - 1 - start, &escaped_);
      escaped_.push_back('\n');
      start = end;
    }
    return escaped_;
  }
  // Drops the lines; the storage stays for the next definition.
  void Clear() {
    text_.clear();
    ends_.clear();
    commands_.clear();
  }

  // The arguments and the common start of the tavoupdate lines, composed by
  // BuildCommand; kept here with their storage, like the lines.
  std::string region;
  std::string name;
  std::string head;
  std::string argument;
  // The arguments of the attributes, one after the other, and their lengths.
  std::string arguments;
  std::vector<size_t> lengths;

 private:
  // Room for the remarks and commands of a usual definition.
  static constexpr size_t kUsualScript = 1024;

  // The lines as Escaped gives them with Checks.
  const std::string& Checked(CommandChecks* Checks) {
    escaped_.clear();
    size_t start = 0;
    size_t line = 0;
    auto command = commands_.begin();
    for (const size_t end : ends_) {
      const char* text = text_.data() + start;
      const size_t length = end - 1 - start;
      start = end;
      if (command == commands_.end() || *command != line++) {
        AppendScriptEscaped(text, length, &escaped_);
        escaped_.push_back('\n');
        continue;
      }
      ++command;
      // The fingerprint is taken of the line as the program's runtime reads it,
      // before the interpreter's escapes.
      Fingerprint print;
      if (Checks->journal() != nullptr) {
        print = CommandFingerprint(text, length);
        if (Checks->journal()->Holds(print)) {
          ++Checks->left_out;
          continue;
        }
      }
      ++Checks->written;
      AppendScriptEscaped(text, length, &escaped_, NeedsEscapeBeforeJoin(text, length));
      Checks->Append(Checks->journal() != nullptr ? &print : nullptr, &escaped_);
      escaped_.push_back('\n');
    }
    if (Checks->written == 0 && Checks->left_out > 0) escaped_.clear();
    return escaped_;
  }

  std::string text_;
  std::vector<size_t> ends_;      // where each line ends, its newline included
  std::vector<size_t> commands_;  // the numbers of the command lines, from 0, in order
  std::string escaped_;
};

std::string ScriptFormat(const char* Format, ...) {
  va_list args;
  va_start(args, Format);
  const Formatted text(Format, args);
  va_end(args);
  return std::string(text.text(), text.size());
}

int ScriptWriteLine(FILE* hFile, const char* Line) {
  if (hFile == nullptr) return 0;
  if (!NeedsEscape(Line)) return WriteLineAsIs(hFile, Line, std::strlen(Line));
  const std::string escaped = ScriptEscape(Line);
  return WriteLineAsIs(hFile, escaped.data(), escaped.size());
}

AttrToScript::AttrToScript(const char* Name, int Type, const char* Region)
    : InitOk(0),
      ResourceName(nullptr),
      ResourceType{},
      ResourceID(-1),
      RegionName(nullptr),
      iResourceAttributes(0),
      Fates(0),
      Attributes{},
      texts_(area_, sizeof area_) {
  if (Name == nullptr || Region == nullptr || Type < WDid || Type > RDid) return;
  ResourceName = Keep(Name);
  RegionName = Keep(Region);
  ResourceID = Type;
  std::snprintf(ResourceType, sizeof ResourceType, "%s", ResTypeArr[Type]);
  InitOk = 1;
}

// Every text lives in texts_ and goes with it.
AttrToScript::~AttrToScript() = default;

char* AttrToScript::Keep(const char* Text) { return texts_.CopyText(Text, std::strlen(Text)); }

void AttrToScript::Add(const char* Attr, const char* Value) {
  // The text PairTemplate makes, put together directly in the record's own
  // storage: every attribute of every definition passes here.
  if (!InitOk) return;
  const char* name = OrEmpty(Attr);
  const char* value = OrEmpty(Value);
  const size_t n = std::strlen(name);
  const size_t v = std::strlen(value);
  char* text = texts_.AllocateBytes(n + 1 + v + 1);
  std::memcpy(text, name, n);
  text[n] = '=';
  std::memcpy(text + n + 1, value, v + 1);
  Store(text, n + 1 + v);
}

int AttrToScript::AddAttribute(const char* Attr) {
  if (!InitOk) return 0;
  Store(Keep(Attr), std::strlen(Attr));
  return 0;
}

void AttrToScript::Store(char* Text, size_t Len) {
  if (iResourceAttributes >= kMaxAttributes) {
    // The command file cannot carry it; say so rather than lose it unseen.
    Error.Report(" .... resource '%s' has more than %d attributes; '%s' is not migrated",
                 ShownName(), kMaxAttributes, Text);
    Fates |= kFateAttributeDropped;
    return;
  }
  SetAttribute(&Attributes[iResourceAttributes++], Text, TrimTrailingBlanks(Text, Len));
}

void AttrToScript::SetAttribute(Attribute* rAttr, char* Text, size_t Length) {
  rAttr->text = Text;
  rAttr->length = Length;
  rAttr->kinds = TextKinds(Text, Length);
}

const char* AttrToScript::RetrieveAttribute(int AttrID, int* rIndex) const {
  *rIndex = -1;
  const char* name = PredName(AttrID);
  // Only an id outside the table has no name; every attribute would match it.
  if (name[0] == '\0') return nullptr;
  const size_t len = std::strlen(name);
  for (int i = 0; i < iResourceAttributes; ++i) {
    if (strncasecmp(Attributes[i].text, name, len) == 0) {
      *rIndex = i;
      return Attributes[i].text;
    }
  }
  return nullptr;
}

const char* AttrToScript::RetrieveAttributeX(int Index) const {
  if (Index < 0 || Index >= iResourceAttributes) return nullptr;
  return Attributes[Index].text;
}

int AttrToScript::ReplaceAttribute(int AttrID, const char* Value) {
  int index;
  if (RetrieveAttribute(AttrID, &index) == nullptr) return -1;
  return ReplaceAttributeX(index, Value);
}

int AttrToScript::ReplaceAttributeX(int Index, const char* Value) {
  if (!InitOk || Index < 0 || Index >= iResourceAttributes || Value == nullptr) return -1;
  char* copy = Keep(Value);
  // The text replaced stays in texts_ until the record goes.
  SetAttribute(&Attributes[Index], copy, TrimTrailingBlanks(copy));
  return 0;
}

int AttrToScript::DeleteAttribute(int AttrID) {
  int index;
  if (RetrieveAttribute(AttrID, &index) == nullptr) return -1;
  return DeleteAttributeX(index);
}

int AttrToScript::DeleteAttributeX(int Index) {
  if (!InitOk || Index < 0 || Index >= iResourceAttributes) return -1;
  for (int i = Index + 1; i < iResourceAttributes; ++i) Attributes[i - 1] = Attributes[i];
  Attributes[--iResourceAttributes] = Attribute{};
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
  // Kept from definition to definition, as the lines are (CreateScript).
  static std::string shown;
  shown.clear();
  ModifyQuotes(description, &shown);
  HideControlCharacters(&shown);
  Error.Report("      > (%s)", shown.c_str());
}

int AttrToScript::Verify() {
  if (!InitOk) return 0;
  if (!VerifyWritable()) {
    Error.Report(
        " .... resource '%s' holds characters that cannot be written to a command file, and is "
        "not migrated",
        ShowControlCharacters(ShownName()).c_str());
    Fates |= kFateUnwritable;
    // The description is found by its name, which is the same in every class.
    LogDescription(kWDDescriptionPred);
    return 0;
  }
  // The commands take the word after -P for the name: without one, the first
  // attribute would name the resource.
  if (ResourceID != RDid && ResourceName[0] == '\0') {
    Error.Report(" .... a resource without a name is not migrated");
    Fates |= kFateNoName;
    LogDescription(kWDDescriptionPred);
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
    if (Attributes[i].kinds & kHoldsControl) return 0;
  }
  return 1;
}

bool AttrToScript::HoldsOutsideAscii() const {
  if (!InitOk) return false;
  if (TextKinds(ResourceName, std::strlen(ResourceName)) & kHoldsHigh) return true;
  for (int i = 0; i < iResourceAttributes; ++i) {
    if (Attributes[i].kinds & kHoldsHigh) return true;
  }
  return false;
}

void AttrToScript::Recode(const CodePageMap& Map, CodePageLoss* rLoss) {
  if (!InitOk) return;
  Map.Convert(RegionName, std::strlen(RegionName), "region", rLoss);
  Map.Convert(ResourceName, std::strlen(ResourceName), "name", rLoss);
  for (int i = 0; i < iResourceAttributes; ++i) {
    Attribute& attr = Attributes[i];
    if ((attr.kinds & kHoldsHigh) == 0) continue;
    Map.ConvertAttribute(attr.text, attr.length, rLoss);
    attr.kinds = TextKinds(attr.text, attr.length);
  }
}

int AttrToScript::VerifyWD() {
  int model;
  int net;
  const char* modelid = RetrieveAttribute(kWDModelIdPred, &model);
  if (modelid == nullptr) return 1;
  const char* netname = RetrieveAttribute(kWDNetNamePred, &net);
  if (netname == nullptr || Test(kWDNetNamePred, "", &net) == 1) return 1;
  Error.Report(" .... resource '%s': '%s' conflicts with '%s'", ResourceName, modelid, netname);
  Error.Report("      > NetName value reset to \"\"");
  const std::string reset = ScriptFormat("%s=\\\"\\\"", PredName(kWDNetNamePred));
  ReplaceAttributeX(net, reset.c_str());
  Fates |= kFateNetnameReset;
  LogDescription(kWDDescriptionPred);
  return 1;
}

int AttrToScript::VerifyTDD() {
  int result = 1;
  if (std::strcmp(ResourceName, kSystemQueue) == 0) {
    Error.Report(" .... resource '%s' is a TAVO system resource, and is not migrated",
                 ResourceName);
    LogDescription(kTDDDescriptionPred);
    Fates |= kFateSystemResource;
    result = 0;
  }
  int index;
  if (RetrieveAttribute(kTDDDestTypePred, &index) != nullptr &&
      Test(kTDDDestTypePred, kIntrapartition, &index) == 0) {
    // A trigger level means nothing to a queue that is not intrapartition, and
    // the new release refuses it there.
    if (DeleteAttribute(kTDDTriggerLevelPred) == 0) Fates |= kFateTriggerlevelRemoved;
  }
  return result;
}

int AttrToScript::VerifyFD() {
  return VerifyNotSystem(" .... resource '%s'is a Version 2.0 system file, and is not migrated",
                         kFDDescriptionPred, kFateSystemFile);
}

int AttrToScript::VerifyPD() {
  return VerifyNotSystem(" .... resource '%s' is a Version 2.0 system program, and is not migrated",
                         kPDDescriptionPred, kFateSystemProgram);
}

int AttrToScript::VerifyNotSystem(const char* Refusal, int DescID, uint16_t Fate) {
  if (std::strncmp(ResourceName, FD_SysFilePrefix, std::strlen(FD_SysFilePrefix)) != 0) return 1;
  Error.Report(Refusal, ResourceName);
  LogDescription(DescID);
  Fates |= Fate;
  return 0;
}

int AttrToScript::VerifyTD() {
  for (const char* const* id = TD_DeleteTransIds; *id != nullptr; ++id) {
    if (std::strcmp(*id, ResourceName) == 0) {
      Error.Report(" .... resource '%s' is a Version 2.0 supplied transaction, and is not migrated",
                   ResourceName);
      LogDescription(kTDDescriptionPred);
      Fates |= kFateSuppliedTransaction;
      return 0;
    }
  }
  return 1;
}

void AttrToScript::ModifyQuotes(const char* Source, std::string* rOut) {
  const char* p = Source;
  while (const char* backslash = std::strchr(p, '\\')) {
    rOut->append(p, static_cast<size_t>(backslash - p));
    if (backslash[1] != '"') rOut->push_back('\\');
    p = backslash + 1;
  }
  rOut->append(p);
}

void AttrToScript::BuildCommand(Lines* rScript, const std::string* Check, bool Pack) const {
  const bool region = ResourceID == RDid;
  // The region and the name reach the programs as arguments of their own, even
  // when they hold blanks, quotes or backslashes.
  std::string& regionArg = rScript->region;
  regionArg.clear();
  AppendArgument(RegionName, &regionArg);
  std::string& nameArg = rScript->name;
  nameArg.clear();
  if (!region) {
    AppendArgument(ResourceName, &nameArg);
    AppendTemplate(AddTemplate, {ResourceType, regionArg, nameArg}, rScript->Begin());
    rScript->EndCommand();
  }
  // Every tavoupdate line of the definition starts alike.
  std::string& head = rScript->head;
  head.clear();
  if (region) {
    AppendTemplate(UpdateTemplateRD, {regionArg}, &head);
  } else {
    AppendTemplate(UpdateTemplate, {ResourceType, regionArg, nameArg}, &head);
  }
  const int n = iResourceAttributes;
  std::string& arguments = rScript->arguments;
  std::vector<size_t>& lengths = rScript->lengths;
  arguments.clear();
  lengths.clear();
  for (int k = 0; k < n; ++k) {
    const size_t before = arguments.size();
    AppendAttributeArgument(Attributes[k], &rScript->argument, &arguments);
    lengths.push_back(arguments.size() - before);
  }
  // Two attributes a line, as the command file has always had them, or packed,
  // as many as the line can take.
  size_t from = 0;
  for (int a = 0; a < n;) {
    const int count = Pack ? PackArguments(head, arguments.data() + from, &lengths[a], n - a, Check)
                           : std::min(2, n - a);
    size_t length = 0;
    for (int k = a; k < a + count; ++k) length += lengths[k];
    std::string* line = rScript->Begin();
    line->append(head);
    line->append(arguments, from, length);
    rScript->EndCommand();
    from += length;
    a += count;
  }
}

void AttrToScript::AppendAttributeArgument(const Attribute& Attr, std::string* rScratch,
                                           std::string* rLine) {
  rLine->push_back(' ');
  // Most attributes are written as they stand: no quoting, no escapes.
  if (Attr.length > 0 && (Attr.kinds & (kHoldsBackslash | kHoldsQuote | kHoldsBlank)) == 0) {
    rLine->append(Attr.text, Attr.length);
    return;
  }
  // The attribute stands for the text the remarks show: its \" escapes are
  // the quotes of the value, which tavoupdate must receive as quotes.
  rScratch->clear();
  ModifyQuotes(Attr.text, rScratch);
  AppendArgument(rScratch->data(), rScratch->size(), rLine);
}

void AttrToScript::ShowStanza(Lines* rScript) const {
  rScript->Add("");
  rScript->Add("@REM ----------------------------------------------");
  std::string* line = rScript->Begin();
  line->append("@REM ");
  line->append(StanzaName[ResourceID]);
  rScript->End();
  if (ResourceID != RDid) {
    rScript->Add("");
    line = rScript->Begin();
    line->append("@REM ");
    line->append(ResourceName);
    line->push_back(':');
    rScript->End();
  }
  for (int i = 0; i < iResourceAttributes; ++i) {
    line = rScript->Begin();
    line->append("@REM \t");
    const Attribute& attr = Attributes[i];
    if (attr.kinds & kHoldsBackslash) {
      ModifyQuotes(attr.text, line);
    } else {
      line->append(attr.text, attr.length);
    }
    rScript->End();
  }
  rScript->Add("");
}

int AttrToScript::CreateScript(FILE* hFile, CommandChecks* Checks, bool Pack) {
  if (!InitOk) return 0;
  // A region definition without attributes has no command to carry.
  if (ResourceID == RDid && iResourceAttributes == 0) return 0;
  if (hFile == nullptr) return 0;
  // One area for the lines of every definition: the writer runs on one thread.
  static Lines script;
  script.Clear();
  ShowStanza(&script);
  // Packed lines make room for the check, which has the same length on every
  // command line of the definition; only packing needs it.
  const std::string check = Pack && Checks != nullptr ? Checks->Sample() : std::string();
  BuildCommand(&script, Checks != nullptr ? &check : nullptr, Pack);
  const std::string& text = script.Escaped(Checks);
  return WriteAll(hFile, text.data(), text.size());
}
