// Fuzz target: one whole migration of an arbitrary control file, in process.
//
// The input is split into raw records (raw_records.h) that an in-memory store
// hands to the reader; then come the translation, the checks and the command
// file writer, in the order of a migration run. The command file is written to a
// stream in memory, so that an execution touches no file.
// Besides what the sanitizers find, every input must give a command file that
// the command interpreter reads as the generator meant (command_file_check.h).
//
// The records, definitions and list nodes of a run go with the Config and the
// Forcfg that hold them: the process runs many migrations, and any allocation
// that an input leaves behind is a leak that the fuzzer reports. Only the checks
// of the command file run outside the coverage that guides the fuzzer.
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "admsa_errs.h"
#include "admsa_fm.h"
#include "admsa_supp.h"
#include "admsa_tran.h"
#include "admsa_tran_engine.h"
#include "command_file_check.h"
#include "raw_records.h"

namespace {

const char kRegion[] = "FUZZREG";

// The command file of the input being run: what the writer's stream took. Kept
// from input to input, so that its storage is taken once.
std::string g_command_file;

ssize_t TakeLines(void*, const char* data, size_t size) {
  g_command_file.append(data, size);
  return static_cast<ssize_t>(size);
}

// The stream that every input's command file is written to, open for the whole
// process. Unbuffered: each write of the writer goes straight into the text.
FILE* g_stream = nullptr;

// The source store of one input: hands out its raw records straight from the
// input, as the control-file store hands out those of a control file.
class InputStore : public FMFile {
 public:
  InputStore(const uint8_t* data, size_t size) : FMFile("input"), reader_(data, size) {}

  InRec* readrec() override {
    const char* record;
    size_t len;
    if (!reader_.Next(&record, &len)) return nullptr;
    // The record's only copy is the one the caller gets.
    record_.lend(record, static_cast<int>(len));
    return new InRec(&record_);
  }

 private:
  RecordReader reader_;
  Buffer record_;  // the record being handed out, lent by the input
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The report goes to a log file, as in a run with -l, and errors also to
  // standard error, which the fuzzer points at /dev/null (-close_fd_mask=3).
  // Both buffered, they cost a write of the system for every 64 KB, not one for
  // every message: a dozen an input, a tenth of the time of an execution.
  static char error_buffer[1 << 16];
  if (std::setvbuf(stderr, error_buffer, _IOFBF, sizeof error_buffer) != 0) std::abort();
  Error.Init("/dev/null");
  g_command_file.reserve(1 << 16);
  cookie_io_functions_t take = {};
  take.write = TakeLines;
  g_stream = fopencookie(nullptr, "w", take);
  if (g_stream == nullptr || std::setvbuf(g_stream, nullptr, _IONBF, 0) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Conversion run(kRegion);
  run.infile = new InputStore(data, size);
  HumanFile* out = new HumanFile("memory", kRegion);
  run.outfile = out;

  Config* conf = run.readinall();
  Forcfg* translated = new Forcfg;
  TranslateAndRelease(TTable, conf, translated);
  delete conf;
  g_command_file.clear();
  if (out->openoutstream(g_stream) != 0) Fault("command file not opened", "");
  out->GenerateCommandScript(translated);
  if (out->closefile() != 0) Fault("command file not written", "");
  delete translated;

  CheckCommandFile(g_command_file, kRegion);
  return 0;
}
