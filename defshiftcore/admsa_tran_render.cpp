#include "admsa_tran_render.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "admsa_tab.h"
#include "admsa_tran_escape.h"
#include "admsa_tran_lines.h"
#include "admsa_tran_pack.h"

namespace {

// Formats of the command lines.
const char kAddTemplate[] = "tavoadd -c %s -r %s -P %s";         // class code, region, name
const char kUpdateTemplate[] = "tavoupdate -c %s -r %s -P %s ";  // class code, region, name
const char kUpdateTemplateRD[] = "tavoupdate -c rd -r %s -P ";   // region

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

// The storage of the rendering, kept from definition to definition: the writer
// runs on one thread.
struct Work {
  ScriptLines lines;
  // The arguments and the common start of the tavoupdate lines.
  std::string region;
  std::string name;
  std::string head;
  std::string argument;
  // The arguments of the attributes, one after the other, and their lengths.
  std::string arguments;
  std::vector<size_t> lengths;
  // The lines as the command file holds them, when they differ from lines.
  std::string escaped;
};

// Appends the argument that stands for Attr on a command line, with its
// leading blank, to *rLine; *rScratch is room for the work.
void AppendAttributeArgument(const AttrToScript::Attribute& Attr, std::string* rScratch,
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
  AttrToScript::ModifyQuotes(Attr.text, rScratch);
  AppendArgument(rScratch->data(), rScratch->size(), rLine);
}

// Adds the remarks that show the stanza entries of Record.
void ShowStanza(const AttrToScript& Record, ScriptLines* rScript) {
  rScript->Add("");
  rScript->Add("@REM ----------------------------------------------");
  std::string* line = rScript->Begin();
  line->append("@REM ");
  line->append(StanzaName[Record.type()]);
  rScript->End();
  if (Record.type() != RDid) {
    rScript->Add("");
    line = rScript->Begin();
    line->append("@REM ");
    line->append(Record.name());
    line->push_back(':');
    rScript->End();
  }
  for (int i = 0; i < Record.count(); ++i) {
    line = rScript->Begin();
    line->append("@REM \t");
    const AttrToScript::Attribute& attr = Record.attribute(i);
    if (attr.kinds & kHoldsBackslash) {
      AttrToScript::ModifyQuotes(attr.text, line);
    } else {
      line->append(attr.text, attr.length);
    }
    rScript->End();
  }
  rScript->Add("");
}

// Adds the command lines of Record, packed when Pack with room for Check after
// each (null for none).
void BuildCommand(const AttrToScript& Record, const std::string* Check, bool Pack, Work* rWork) {
  ScriptLines& script = rWork->lines;
  const bool region = Record.type() == RDid;
  // The region and the name reach the programs as arguments of their own, even
  // when they hold blanks, quotes or backslashes.
  std::string& regionArg = rWork->region;
  regionArg.clear();
  AppendArgument(Record.region(), &regionArg);
  std::string& nameArg = rWork->name;
  nameArg.clear();
  if (!region) {
    AppendArgument(Record.name(), &nameArg);
    AppendTemplate(kAddTemplate, {Record.code(), regionArg, nameArg}, script.Begin());
    script.EndCommand();
  }
  // Every tavoupdate line of the definition starts alike.
  std::string& head = rWork->head;
  head.clear();
  if (region) {
    AppendTemplate(kUpdateTemplateRD, {regionArg}, &head);
  } else {
    AppendTemplate(kUpdateTemplate, {Record.code(), regionArg, nameArg}, &head);
  }
  const int n = Record.count();
  std::string& arguments = rWork->arguments;
  std::vector<size_t>& lengths = rWork->lengths;
  arguments.clear();
  lengths.clear();
  for (int k = 0; k < n; ++k) {
    const size_t before = arguments.size();
    AppendAttributeArgument(Record.attribute(k), &rWork->argument, &arguments);
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
    std::string* line = script.Begin();
    line->append(head);
    line->append(arguments, from, length);
    script.EndCommand();
    from += length;
    a += count;
  }
}

}  // namespace

const std::string& RenderDefinition(const AttrToScript& Record, const CommandChecks* Checks,
                                    bool Pack, CheckCounts* rCounts) {
  static Work work;
  static const std::string none;
  if (!Record.initok()) return none;
  // A region definition without attributes has no command to carry.
  if (Record.type() == RDid && Record.count() == 0) return none;
  work.lines.Clear();
  ShowStanza(Record, &work.lines);
  // Packed lines make room for the check, which has the same length on every
  // command line of the definition; only packing needs it.
  const std::string check = Pack && Checks != nullptr ? Checks->Sample() : std::string();
  BuildCommand(Record, Checks != nullptr ? &check : nullptr, Pack, &work);
  if (Checks == nullptr) return work.lines.Escaped(&work.escaped);
  work.escaped.clear();
  const CheckCounts counts = AppendChecked(work.lines, *Checks, &work.escaped);
  if (rCounts != nullptr) *rCounts = counts;
  return work.escaped;
}
