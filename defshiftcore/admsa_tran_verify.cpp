#include "admsa_tran_verify.h"

#include <cstring>
#include <string>

#include "admsa_account.h"
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

namespace {

const char kSystemQueue[] = "QMSG";
const char kIntrapartition[] = "intrapartition";

// Logs "      > (<description>)" when attribute DescID exists, control
// characters shown as '?'.
void LogDescription(const AttrToScript& Record, int DescID) {
  int index;
  const char* description = Record.RetrieveAttribute(DescID, &index);
  if (description == nullptr) return;
  // Kept from definition to definition, as the lines are.
  static std::string shown;
  shown.clear();
  AttrToScript::ModifyQuotes(description, &shown);
  HideControlCharacters(&shown);
  Error.Report("      > (%s)", shown.c_str());
}

// Whether every text of the record can be written to a command file.
bool Writable(const AttrToScript& Record) {
  // A line feed or carriage return would start a command line of the value's
  // choosing; no escape of the command interpreter protects against that.
  if (HoldsControlCharacter(Record.name()) || HoldsControlCharacter(Record.region())) return false;
  for (int i = 0; i < Record.count(); ++i) {
    if (Record.attribute(i).kinds & kHoldsControl) return false;
  }
  return true;
}

int VerifyWD(AttrToScript* Record) {
  int model;
  int net;
  const char* modelid = Record->RetrieveAttribute(kWDModelIdPred, &model);
  if (modelid == nullptr) return 1;
  const char* netname = Record->RetrieveAttribute(kWDNetNamePred, &net);
  if (netname == nullptr || Record->Test(kWDNetNamePred, "", &net) == 1) return 1;
  Error.Report(" .... resource '%s': '%s' conflicts with '%s'", Record->name(), modelid, netname);
  Error.Report("      > NetName value reset to \"\"");
  const std::string reset = std::string(PredName(kWDNetNamePred)) + "=\\\"\\\"";
  Record->ReplaceAttributeX(net, reset.c_str());
  Record->AddFates(kFateNetnameReset);
  LogDescription(*Record, kWDDescriptionPred);
  return 1;
}

int VerifyTDD(AttrToScript* Record) {
  int result = 1;
  if (std::strcmp(Record->name(), kSystemQueue) == 0) {
    Error.Report(" .... resource '%s' is a TAVO system resource, and is not migrated",
                 Record->name());
    LogDescription(*Record, kTDDDescriptionPred);
    Record->AddFates(kFateSystemResource);
    result = 0;
  }
  int index;
  if (Record->RetrieveAttribute(kTDDDestTypePred, &index) != nullptr &&
      Record->Test(kTDDDestTypePred, kIntrapartition, &index) == 0) {
    // A trigger level means nothing to a queue that is not intrapartition, and
    // the new release refuses it there.
    if (Record->DeleteAttribute(kTDDTriggerLevelPred) == 0) {
      Record->AddFates(kFateTriggerlevelRemoved);
    }
  }
  return result;
}

// The check of files and programs: refuses a definition whose name begins with
// FD_SysFilePrefix, logging Refusal (a format taking the name) and the
// description DescID and keeping Fate; 0 then, else 1.
int VerifyNotSystem(AttrToScript* Record, const char* Refusal, int DescID, uint16_t Fate) {
  const char* name = Record->name();
  if (std::strncmp(name, FD_SysFilePrefix, std::strlen(FD_SysFilePrefix)) != 0) return 1;
  Error.Report(Refusal, name);
  LogDescription(*Record, DescID);
  Record->AddFates(Fate);
  return 0;
}

int VerifyTD(AttrToScript* Record) {
  for (const char* const* id = TD_DeleteTransIds; *id != nullptr; ++id) {
    if (std::strcmp(*id, Record->name()) == 0) {
      Error.Report(" .... resource '%s' is a Version 2.0 supplied transaction, and is not migrated",
                   Record->name());
      LogDescription(*Record, kTDDescriptionPred);
      Record->AddFates(kFateSuppliedTransaction);
      return 0;
    }
  }
  return 1;
}

}  // namespace

int Verify(AttrToScript* Record) {
  if (!Record->initok()) return 0;
  if (!Writable(*Record)) {
    Error.Report(
        " .... resource '%s' holds characters that cannot be written to a command file, and is "
        "not migrated",
        ShowControlCharacters(Record->ShownName()).c_str());
    Record->AddFates(kFateUnwritable);
    // The description is found by its name, which is the same in every class.
    LogDescription(*Record, kWDDescriptionPred);
    return 0;
  }
  // The commands take the word after -P for the name: without one, the first
  // attribute would name the resource.
  if (Record->type() != RDid && Record->name()[0] == '\0') {
    Error.Report(" .... a resource without a name is not migrated");
    Record->AddFates(kFateNoName);
    LogDescription(*Record, kWDDescriptionPred);
    return 0;
  }
  switch (Record->type()) {
    case WDid:
      return VerifyWD(Record);
    case TDDid:
      return VerifyTDD(Record);
    case FDid:
      return VerifyNotSystem(Record,
                             " .... resource '%s'is a Version 2.0 system file, and is not migrated",
                             kFDDescriptionPred, kFateSystemFile);
    case PDid:
      return VerifyNotSystem(
          Record, " .... resource '%s' is a Version 2.0 system program, and is not migrated",
          kPDDescriptionPred, kFateSystemProgram);
    case TDid:
      return VerifyTD(Record);
    default:
      return 1;
  }
}
