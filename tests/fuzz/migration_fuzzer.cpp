// Fuzz target: one whole migration of an arbitrary control file, in process.
//
// The input is split into raw records (raw_records.h) that an in-memory store
// hands to the reader; then come the translation, the checks and the command
// file writer, in the order of a migration run, with the account of the run.
// The command file, the account and the report are written to streams in
// memory, so that an execution touches no file.
// Besides what the sanitizers find, every input must give a command file that
// the command interpreter reads as the generator meant (command_file_check.h),
// and an account that holds every record read and every definition checked and
// agrees with the report's counts (account_check.h).
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

#include "account_check.h"
#include "admsa_account.h"
#include "admsa_errs.h"
#include "admsa_fm.h"
#include "admsa_supp.h"
#include "admsa_tran.h"
#include "admsa_tran_engine.h"
#include "command_file_check.h"
#include "input_store.h"
#include "memory_stream.h"
#include "raw_records.h"

namespace {

const char kRegion[] = "FUZZREG";

// The command file, the account and the report of the input being run: what
// their streams took. Kept from input to input, so that their storage is taken
// once, and never destroyed: the log writes to its stream until the process
// has ended.
std::string& g_command_file = *new std::string;
std::string& g_account = *new std::string;
std::string& g_report = *new std::string;

// The streams of every input's command file and account (unbuffered: the
// writers hand over large blocks) and of the report (buffered: it is written a
// line at a time, and taken at the end of the input).
FILE* g_stream = nullptr;
FILE* g_account_stream = nullptr;
FILE* g_report_stream = nullptr;

// The account of every input, started again for each; kept, so that the
// storage of its rows and origins is taken once.
Account& g_run_account = *new Account;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The report goes to a log file in memory, as in a run with -l, and errors
  // also to standard error, which the fuzzer points at /dev/null
  // (-close_fd_mask=3). Both buffered, they cost no write of the system for
  // every message: a dozen an input, a tenth of the time of an execution.
  static char error_buffer[1 << 16];
  static char report_buffer[1 << 16];
  if (std::setvbuf(stderr, error_buffer, _IOFBF, sizeof error_buffer) != 0) std::abort();
  g_command_file.reserve(1 << 16);
  g_account.reserve(1 << 16);
  g_report.reserve(1 << 16);
  g_stream = StreamInto(&g_command_file, nullptr, 0);
  g_account_stream = StreamInto(&g_account, nullptr, 0);
  g_report_stream = StreamInto(&g_report, report_buffer, sizeof report_buffer);
  Error.InitStream(g_report_stream, "report");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Conversion run(kRegion);
  InputStore* store = new InputStore(data, size);
  run.infile = store;
  HumanFile* out = new HumanFile("memory", kRegion);
  run.outfile = out;
  g_account.clear();
  if (g_run_account.OpenStream(g_account_stream, "account") != 0) Fault("account not opened", "");
  run.account = &g_run_account;

  Config* conf = run.readinall();
  Forcfg* translated = new Forcfg;
  TranslateAndRelease(TTable, conf, translated, &g_run_account);
  delete conf;
  g_command_file.clear();
  if (out->openoutstream(g_stream) != 0) Fault("command file not opened", "");
  out->setaccount(&g_run_account);
  // Only what the writer reports is read back: its counts and the account's
  // closing line.
  std::fflush(g_report_stream);
  g_report.clear();
  out->GenerateCommandScript(translated);
  if (out->closefile() != 0) Fault("command file or account not written", "");
  std::fflush(g_report_stream);
  delete translated;

  CheckCommandFile(g_command_file, kRegion);
  CheckAccount(g_account, g_report, store->handed());
  return 0;
}
