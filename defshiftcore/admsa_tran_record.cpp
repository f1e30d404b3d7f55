#include "admsa_tran_record.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "admsa_account.h"
#include "admsa_errs.h"
#include "admsa_tab.h"
#include "admsa_tran_escape.h"

namespace {

// s holds n characters; returns how many are left.
size_t TrimTrailingBlanks(char* s, size_t n) {
  while (n > 0 && s[n - 1] == ' ') s[--n] = '\0';
  return n;
}

size_t TrimTrailingBlanks(char* s) { return TrimTrailingBlanks(s, std::strlen(s)); }

const char* OrEmpty(const char* s) { return s != nullptr ? s : ""; }

}  // namespace

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
  // The text name=value, put together directly in the record's own storage:
  // every attribute of every definition passes here.
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

void AttrToScript::SetAttribute(Attribute* rAttr, const char* Text, size_t Length) {
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
  if (!InitOk) return -1;
  for (int i = index + 1; i < iResourceAttributes; ++i) Attributes[i - 1] = Attributes[i];
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

bool AttrToScript::HoldsOutsideAscii() const {
  if (!InitOk) return false;
  if (TextKinds(ResourceName, std::strlen(ResourceName)) & kHoldsHigh) return true;
  for (int i = 0; i < iResourceAttributes; ++i) {
    if (Attributes[i].kinds & kHoldsHigh) return true;
  }
  return false;
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
