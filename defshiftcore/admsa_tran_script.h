// The resource definition record on its way into the command file: the checks
// that decide whether a translated definition is migrated, and the remarks and
// tavoadd/tavoupdate commands that it is written as.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_SCRIPT_H_
#define DEFSHIFTCORE_ADMSA_TRAN_SCRIPT_H_

#include <cstdint>
#include <cstdio>
#include <string>

#include "admsa_arena.h"
#include "admsa_errs.h"

class CodePageMap;
class CommandChecks;
struct CodePageLoss;

// The transactions that the earlier release supplied with its own system, four
// characters each, ended by a null entry. Definitions of these are not migrated.
constexpr int kDeleteTransCount = 40;
extern const char* const TD_DeleteTransIds[kDeleteTransCount + 1];
// Names of the earlier release's own files and programs begin with this.
extern const char FD_SysFilePrefix[];

// Formats of the attribute text and of the command lines.
extern const char PairTemplate[];      // attribute name, value
extern const char AddTemplate[];       // class code, region, resource name
extern const char UpdateTemplate[];    // class code, region, resource name; ends in a blank
extern const char UpdateTemplateRD[];  // region; ends in a blank

// The whole text that Format makes of the arguments, whatever its length.
std::string ScriptFormat(const char* Format, ...) ADMSA_PRINTF(1, 2);

// Writes the text Line, escaped by ScriptEscape, and a newline to the command file hFile.
// Every line of the command file goes through here, so that what the command
// interpreter reads is decided in one place. Returns 0 when the stream took the
// line (a null hFile writes nothing and returns 0), else the error number of the
// failure; a buffered stream may only fail later, when it is flushed or closed.
int ScriptWriteLine(FILE* hFile, const char* Line);
// One resource definition: its name, class, region and up to 32 attribute texts
// of the form name=value. Values that need quoting carry the two-character escape
// \" at both ends, as the translation made them.
//
// Made by the command file writer for one definition: filled by Add, checked by
// Verify, written by CreateScript when Verify returned 1, then destroyed. The
// record owns copies of every text it is given, all kept in one store of its own
// and released with the record.
class AttrToScript {
 public:
  static constexpr int kMaxAttributes = 32;

  // Type: the class id, WDid to RDid. When Type is outside that range, or Name or
  // Region is null, the record is not initialised: it takes no attributes, Verify
  // refuses it and CreateScript writes nothing.
  AttrToScript(const char* Name, int Type, const char* Region);
  ~AttrToScript();
  AttrToScript(const AttrToScript&) = delete;
  AttrToScript& operator=(const AttrToScript&) = delete;

  // Adds the attribute text Attr=Value, without its trailing blanks. A record that
  // already holds 32 attributes drops it and logs that it is not migrated.
  void Add(const char* Attr, const char* Value);

  // Refuses, with a log line, a definition whose name, region or attribute texts
  // hold a control character (see HoldsControlCharacter), and one of any class
  // but the region definition whose name is empty; otherwise applies the check of
  // the definition's class. 1 when the definition is to be
  // migrated, 0 when it is refused (the reason is logged). A check may amend attributes: a
  // terminal's NetName that conflicts with its ModelId is reset to the quoted empty value (logged),
  // a queue that is not intrapartition loses its TriggerLevel (not logged).
  int Verify();

  // Writes the definition to hFile: the remarks showing its stanza entries, then
  // its tavoadd line (not for the region definition) and one tavoupdate line for
  // every two attributes, each line as ScriptWriteLine writes it; when Pack, a
  // tavoupdate line for as many attributes, in order, as keep it within
  // kPackedLineLimit with its check after it (PackArguments). The region,
  // the name and each attribute, as the remarks show it (every \" a plain "),
  // are written as AppendArgument writes a program argument. The lines go to
  // the stream in one piece. With Checks (admsa_tran_check.h), every tavoadd
  // and tavoupdate line ends with its check; a command line that the
  // interpreter would read within quotes or a parenthesis at its end is then
  // escaped whole (NeedsEscapeBeforeJoin). When Checks has a journal, a command
  // whose fingerprint it holds is left out, and a definition whose every
  // command it holds is not written at all; Checks counts the commands written
  // and left out. A region definition without attributes, or a null hFile,
  // writes nothing. Returns 0 when the stream took the lines, else the error
  // number of the failure (as ScriptWriteLine).
  int CreateScript(FILE* hFile, CommandChecks* Checks = nullptr, bool Pack = false);

  int initok() const { return InitOk; }
  // The resource name as given ("" when not initialised).
  const char* name() const { return ResourceName != nullptr ? ResourceName : ""; }
  // What Add and Verify did to the definition: Fate bits of admsa_account.h.
  uint16_t fates() const { return Fates; }
  // Whether the name or an attribute holds a byte from 128 to 255, which the
  // command file carries as it is, in no code page of its own.
  bool HoldsOutsideAscii() const;
  // Writes the region, the name and every attribute text of the record for the
  // console's code page, in place, as Map converts them (admsa_codepage_map.h);
  // *rLoss gets the characters that could not be carried. Called once Verify
  // has passed the definition, so that the report names it as the control
  // file does; the lengths stay.
  void Recode(const CodePageMap& Map, CodePageLoss* rLoss);

 private:
  // Stores a copy of the whole attribute text Attr, without its trailing blanks;
  // always 0.
  int AddAttribute(const char* Attr);
  // Appends Text, a text of Len characters in texts_, without its trailing blanks
  // to the attributes; when the record holds 32 already, logs that Text is not
  // migrated instead.
  void Store(char* Text, size_t Len);
  // The first attribute whose text begins, ignoring case, with the prednames name
  // of AttrID, and its position in *rIndex; null and -1 when there is none.
  const char* RetrieveAttribute(int AttrID, int* rIndex) const;
  // The attribute at position Index, or null when there is none.
  const char* RetrieveAttributeX(int Index) const;
  // Replace the whole attribute text with Value (trailing blanks removed), keeping
  // its position: 0, or -1 when not initialised or there is no such attribute.
  int ReplaceAttribute(int AttrID, const char* Value);
  int ReplaceAttributeX(int Index, const char* Value);
  // Remove the attribute, closing the gap: 0, or -1 when not initialised or there
  // is no such attribute.
  int DeleteAttribute(int AttrID);
  int DeleteAttributeX(int Index);
  // 1 when attribute AttrID exists and the text after its first "=" equals
  // TestString exactly; else 0. *rIndex as for RetrieveAttribute.
  int Test(int AttrID, const char* TestString, int* rIndex) const;

  int VerifyWD();
  int VerifyTDD();
  int VerifyFD();
  int VerifyPD();
  int VerifyTD();
  // The check of files and programs: refuses a definition whose name begins with
  // FD_SysFilePrefix, logging Refusal (a format taking the name) and the
  // description DescID and keeping Fate; 0 then, else 1.
  int VerifyNotSystem(const char* Refusal, int DescID, uint16_t Fate);
  // 1 when every text of the record can be written to a command file.
  int VerifyWritable() const;
  // Logs "      > (<description>)" when attribute DescID exists, control
  // characters shown as '?'.
  void LogDescription(int DescID) const;
  // Name of the definition in log lines: the region for the region definition.
  const char* ShownName() const;

  // Appends Source with every \" reduced to a plain double quote to *rOut.
  static void ModifyQuotes(const char* Source, std::string* rOut);
  class Lines;  // the text of the definition's lines as it is composed
  // Add the command lines, or the remarks, of the definition to *rScript; the
  // command lines as CreateScript writes them with Check and Pack.
  void BuildCommand(Lines* rScript, const std::string* Check, bool Pack) const;
  void ShowStanza(Lines* rScript) const;

  // A copy of Text in texts_.
  char* Keep(const char* Text);

  // Room for the texts of a usual definition: name, region and a dozen attributes.
  static constexpr size_t kUsualTexts = 512;

  int InitOk;
  char* ResourceName;  // in texts_
  char ResourceType[5];
  int ResourceID;
  char* RegionName;  // in texts_
  int iResourceAttributes;
  uint16_t Fates;  // Fate bits
  // An attribute text, as long and holding what TextKinds found when it was stored.
  struct Attribute {
    char* text;  // in texts_
    size_t length;
    unsigned kinds;
  };
  // Sets *rAttr to Text, of Length characters.
  static void SetAttribute(Attribute* rAttr, char* Text, size_t Length);
  // Appends the argument that stands for Attr on a command line, with its
  // leading blank, to *rLine; *rScratch is room for the work.
  static void AppendAttributeArgument(const Attribute& Attr, std::string* rScratch,
                                      std::string* rLine);
  Attribute Attributes[kMaxAttributes];  // the first iResourceAttributes are set
  char area_[kUsualTexts];               // the first block of texts_
  Arena texts_;                          // every text of the record
};

#endif  // DEFSHIFTCORE_ADMSA_TRAN_SCRIPT_H_
