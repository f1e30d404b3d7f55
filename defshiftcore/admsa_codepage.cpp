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

void CodePageNotes::NoteLoss(int cls, const char* name, const CodePageLoss& Loss) {
  if (Loss.count == 0 || map_ == nullptr) return;
  if (losses_ < kNamed) {
    std::string& lost = lost_[losses_];
    lost = cls >= WDid && cls < LSTid ? ResTypeArr[cls] : "";
    lost.push_back(' ');
    lost.append(name != nullptr ? name : "");
    lost.append(": ");
    lost.append(Loss.where);
    lost.push_back(' ');
    lost.append(map_->CharacterName(Loss.byte));
    if (Loss.count > 1) lost.append(", " + std::to_string(Loss.count) + " characters in all");
  }
  ++losses_;
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
  if (map_ == nullptr) {
    Error.Report(
        " These bytes are written to the command file as they are: tavoadd and tavoupdate\n"
        " receive them through the code page of the console that runs the command file.\n"
        " Check that they show the characters meant before running the whole region.\n"
        " With -c ConsoleCodePage[:ControlFileCodePage] (such as -c 850:1252) defshift writes\n"
        " them for the console that will run the command file.");
    return;
  }
  const unsigned console = map_->console();
  Error.Report(
      " They were written for the console's code page %u from the control file's code page %u:\n"
      " tavoadd and tavoupdate receive them as the control file holds them, when the command\n"
      " file runs in a console of code page %u (CHCP shows it)%s",
      console, map_->control(), console, losses_ != 0 ? "," : ".");
  if (losses_ == 0) return;
  const bool one = losses_ == 1;
  Error.Report(
      " but for characters that code page %u does not hold, written as '%c' in %u "
      "definition%s:",
      console, CodePageMap::kNotCarried, losses_, one ? "" : "s");
  for (uint32_t i = 0; i < losses_ && i < kNamed; ++i) Error.Report("      %s", lost_[i].c_str());
  if (losses_ > kNamed) Error.Report("      and %u more", losses_ - kNamed);
  Error.Report(
      " Correct %s in the region after the run: the account gives %s the reason\n"
      " unmapped-character.",
      one ? "that definition" : "those definitions", one ? "it" : "them");
}
