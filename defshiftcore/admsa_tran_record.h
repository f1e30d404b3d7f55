// One resource definition on its way into the command file: its name, class,
// region and up to 32 attribute texts of the form name=value. Values that need
// quoting carry the two-character escape \" at both ends, as the translation
// made them.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_RECORD_H_
#define DEFSHIFTCORE_ADMSA_TRAN_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "admsa_arena.h"

// Made by the command file writer for one definition: filled by Add, checked
// (admsa_tran_verify.h), rendered when it passed (admsa_tran_render.h), then
// destroyed. The record owns copies of every text it is given, all kept in one
// store of its own and released with the record.
class AttrToScript {
 public:
  static constexpr int kMaxAttributes = 32;

  // An attribute text, as long and holding what TextKinds found when it was stored.
  struct Attribute {
    const char* text;  // in the record's store
    size_t length;
    unsigned kinds;
  };

  // Type: the class id, WDid to RDid. When Type is outside that range, or Name or
  // Region is null, the record is not initialised: it takes no attributes, the
  // checks refuse it and it renders nothing.
  AttrToScript(const char* Name, int Type, const char* Region);
  ~AttrToScript();
  AttrToScript(const AttrToScript&) = delete;
  AttrToScript& operator=(const AttrToScript&) = delete;

  // Adds the attribute text Attr=Value, without its trailing blanks. A record that
  // already holds 32 attributes drops it and logs that it is not migrated.
  void Add(const char* Attr, const char* Value);

  int initok() const { return InitOk; }
  // The resource name as given ("" when not initialised).
  const char* name() const { return ResourceName != nullptr ? ResourceName : ""; }
  // The region as given ("" when not initialised).
  const char* region() const { return RegionName != nullptr ? RegionName : ""; }
  // The class id, or -1 when not initialised.
  int type() const { return ResourceID; }
  // The class code of the commands ("" when not initialised).
  const char* code() const { return ResourceType; }
  // Name of the definition in log lines: the region for the region definition.
  const char* ShownName() const;

  // The attributes, in their order.
  int count() const { return iResourceAttributes; }
  const Attribute& attribute(int Index) const { return Attributes[Index]; }

  // What Add and the checks did to the definition: Fate bits of admsa_account.h.
  uint16_t fates() const { return Fates; }
  void AddFates(uint16_t f) { Fates |= f; }
  // Whether the name or an attribute holds a byte from 128 to 255, which the
  // command file carries as it is, in no code page of its own.
  bool HoldsOutsideAscii() const;

  // The first attribute whose text begins, ignoring case, with the prednames name
  // of AttrID, and its position in *rIndex; null and -1 when there is none.
  const char* RetrieveAttribute(int AttrID, int* rIndex) const;
  // 1 when attribute AttrID exists and the text after its first "=" equals
  // TestString exactly; else 0. *rIndex as for RetrieveAttribute.
  int Test(int AttrID, const char* TestString, int* rIndex) const;
  // Replaces the whole attribute text at position Index with Value (trailing
  // blanks removed), keeping its position: 0, or -1 when not initialised or
  // there is no such attribute.
  int ReplaceAttributeX(int Index, const char* Value);
  // Removes the attribute AttrID, closing the gap: 0, or -1 when not
  // initialised or there is no such attribute.
  int DeleteAttribute(int AttrID);

  // Appends Source with every \" reduced to a plain double quote to *rOut: the
  // text as the remarks show it.
  static void ModifyQuotes(const char* Source, std::string* rOut);

 private:
  // Appends Text, a text of Len characters in texts_, without its trailing blanks
  // to the attributes; when the record holds 32 already, logs that Text is not
  // migrated instead.
  void Store(char* Text, size_t Len);
  // A copy of Text in texts_.
  char* Keep(const char* Text);
  // Sets *rAttr to Text, of Length characters.
  static void SetAttribute(Attribute* rAttr, const char* Text, size_t Length);

  // Room for the texts of a usual definition: name, region and a dozen attributes.
  static constexpr size_t kUsualTexts = 512;

  int InitOk;
  char* ResourceName;  // in texts_
  char ResourceType[5];
  int ResourceID;
  char* RegionName;  // in texts_
  int iResourceAttributes;
  uint16_t Fates;                        // Fate bits
  Attribute Attributes[kMaxAttributes];  // the first iResourceAttributes are set
  char area_[kUsualTexts];               // the first block of texts_
  Arena texts_;                          // every text of the record
};

#endif  // DEFSHIFTCORE_ADMSA_TRAN_RECORD_H_
