#include "admsa_codepage.h"

#include <cstring>

#include "admsa_errs.h"
#include "admsa_tab.h"
#include "admsa_tran_escape.h"

void CodePageNotes::Note(int cls, const char* name) {
  if (count_ < kNamed) {
    std::string& named = named_[count_];
    named = cls >= WDid && cls < LSTid ? ResTypeArr[cls] : "";
    named.push_back(' ');
    named.append(name != nullptr ? name : "");
  }
  ++count_;
}

void CodePageNotes::NoteRegion(const char* region) {
  region_ = region != nullptr && (TextKinds(region, std::strlen(region)) & kHoldsHigh) != 0;
}

void CodePageNotes::Report(bool Commands) const {
  const bool region = region_ && Commands;
  if (count_ == 0 && !region) return;
  Error.Report("\n Texts outside ASCII\n");
  if (count_ != 0) {
    const bool one = count_ == 1;
    Error.Report(" %u migrated definition%s bytes 128 to 255 in %s or attribute values:", count_,
                 one ? " holds" : "s hold", one ? "its name" : "their names");
    for (uint32_t i = 0; i < count_ && i < kNamed; ++i) Error.Report("      %s", named_[i].c_str());
    if (count_ > kNamed) Error.Report("      and %u more", count_ - kNamed);
  }
  if (region) {
    Error.Report(count_ != 0
                     ? " The region name holds such bytes too, and every command carries it."
                     : " The region name holds bytes 128 to 255, and every command carries it.");
  }
  Error.Report(
      " These bytes are written to the command file as they are: tavoadd and tavoupdate\n"
      " receive them through the code page of the console that runs the command file.\n"
      " Check that they show the characters meant before running the whole region.");
}
