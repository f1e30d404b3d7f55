// Reading the control file: every raw record is packed by its table's layout and
// filed under its table.
#include <cctype>
#include <memory>

#include "admsa_conv.h"
#include "admsa_errs.h"
#include "admsa_progress.h"
#include "admsa_tab.h"
#include "admsa_tran.h"

namespace {

void FileRecord(const InRec& raw, Config* conf) {
  if (raw.len() < 1) {
    Error.Report(" Ignoring empty record (no table key character)");
    return;
  }
  const unsigned char key = raw.data()[0];
  const Tabl* t = raw.getfor();
  if (t == nullptr) {
    if (key == 'E') return;
    if (key == 'X') {
      Error.Report(" Ignoring Workstation Setup (QVBKBD) record");
      return;
    }
    if (std::isprint(key)) {
      Error.Report(30, key);
    } else {
      // A control character cannot be shown through the message's %c.
      Error.Report(30, '?');
      Error.Report(" .... The unrecognised table key byte is 0x%02X", static_cast<unsigned>(key));
    }
    return;
  }
  // A short record keeps what it has: dropping it would lose a definition, and the
  // missing bytes read as blank text and zero numbers.
  const int needed = RawLengthNeeded(t->num);
  if (raw.len() < needed) {
    Error.Report(
        " .... %s record of %d bytes is shorter than its layout (%d bytes); missing "
        "bytes taken as blanks, or zero in numbers",
        TableName[t->num], raw.len(), needed);
  }
  unsigned char work[kRecWorkArea];
  const int n = PackRecord(t, raw.data(), raw.len(), work);
  if (n < 0) return;
  conf->AddRecord(t->num, work, n);
}

}  // namespace

Config* Conversion::readinall() {
  Config* conf = new Config;
  if (infile == nullptr) return conf;
  for (;;) {
    const std::unique_ptr<InRec> raw(infile->readrec());
    if (raw == nullptr) break;
    FileRecord(*raw, conf);
    progress::Count(progress::kRead);
  }
  return conf;
}
