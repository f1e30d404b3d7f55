// The definitions written to the command file whose texts hold bytes outside
// ASCII (128 to 255). Such bytes are written as they are: the command file has
// no code page of its own, and tavoadd and tavoupdate read them through the code
// page of the console that runs it, which need not be the one the earlier
// release's tools wrote them in. The report names these definitions once, after
// the last class, so that they are checked before a whole region is run; and a
// region typed with such bytes, which every command carries.
#ifndef DEFSHIFTCORE_ADMSA_CODEPAGE_H_
#define DEFSHIFTCORE_ADMSA_CODEPAGE_H_

#include <cstdint>
#include <string>

class CodePageNotes {
 public:
  // How many definitions the report names; the others are counted.
  static constexpr uint32_t kNamed = 5;

  // Definition name of class cls (its class code and name as the account shows
  // them; the region for the region definition) was written holding such bytes.
  void Note(int cls, const char* name);
  // The region of the command file's commands is region; it is noted when it
  // holds such bytes, typed as they are on a command line of another code page.
  void NoteRegion(const char* region);
  // When any definition was noted, or the region and Commands (the file holds
  // commands): the report's paragraph on them. Nothing otherwise, so that the
  // report of a control file of ASCII texts stays as it was.
  void Report(bool Commands) const;

 private:
  uint32_t count_ = 0;
  bool region_ = false;
  std::string named_[kNamed];  // "CLASS NAME" of the first ones
};

#endif  // DEFSHIFTCORE_ADMSA_CODEPAGE_H_
