// Fuzz target: one whole migration of an arbitrary control file, in process.
//
// The input is split into raw records (raw_records.h) that an in-memory store
// hands to the reader; then come the translation, the checks and the command
// file writer, into a temporary command file, in the order of a migration run.
// Besides what the sanitizers find, every input must give a command file that
// the command interpreter reads as the generator meant: each line one of the
// generator's own kinds, without control characters, within the line limit, with
// nothing in it that the interpreter acts on, and every resource named.
//
// What the lists of a run hold is released after each step: the process runs
// many migrations, and with everything but the list nodes released (lists cut
// those from blocks that live until the process ends), any other allocation that
// an input leaves behind is a leak that the fuzzer reports.
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "admsa_fm.h"
#include "admsa_supp.h"
#include "admsa_tran.h"
#include "raw_records.h"
#include "support/argument_model.h"
#include "support/definitions.h"
#include "support/interpreter_model.h"
#include "support/memory_store.h"

namespace {

const char kRegion[] = "FUZZREG";
// The longest line the command interpreter reads.
constexpr size_t kLineLimit = 8191;

char g_command_file[256];

bool StartsWith(const std::string& line, const char* prefix) {
  return line.compare(0, std::strlen(prefix), prefix) == 0;
}

// A fault of the generator. The fuzzer runs with the target's own output closed;
// the sanitizer's report channel stays open, and the fuzzer keeps the input.
[[noreturn]] void Fault(const char* what, const std::string& line) {
  const std::string summary =
      std::string("command file fault: ") + what + " in line \"" + line.substr(0, 300) + "\"";
  std::fprintf(stderr, "%s\n", summary.c_str());
  __sanitizer_report_error_summary(summary.c_str());
  std::abort();
}

void CheckLine(const std::string& line) {
  if (line.size() > kLineLimit) Fault("line longer than the interpreter reads", line);
  for (const char c : line) {
    const unsigned char b = static_cast<unsigned char>(c);
    // The remarks that show a definition's stanza entries indent them by a tab.
    if ((b < 32 && c != '\t') || b == 127) Fault("control character", line);
  }
  std::string handed;
  std::string why;
  if (!Interpret(line, &handed, &why)) Fault(why.c_str(), line);
  if (line.empty() || StartsWith(line, "@ECHO ") || StartsWith(line, "@REM")) return;
  if (!StartsWith(line, "tavoadd -c ") && !StartsWith(line, "tavoupdate -c ")) {
    Fault("line of no kind the generator writes", line);
  }
  // A tavoadd line names its resource last; without a name, the tavoupdate lines
  // that follow would take their first attribute for it.
  if (StartsWith(line, "tavoadd -c ") && line.size() >= 4 &&
      line.compare(line.size() - 4, 4, " -P ") == 0) {
    Fault("command without a resource name", line);
  }
  // As the program splits its command line: the class, the region and the
  // resource each one argument in place, then at most two attributes.
  std::vector<std::string> args;
  if (!SplitArguments(handed, &args, &why)) Fault(why.c_str(), line);
  if (args.size() < 6 || args[1] != "-c" || args[3] != "-r" || args[4] != kRegion ||
      args[5] != "-P") {
    Fault("command arguments out of place", line);
  }
  const bool region = args[2] == "rd";
  if (args[0] == "tavoadd" ? args.size() != 7 || args[6].empty()
                           : args.size() > (region ? 8u : 9u) || args.size() < (region ? 7u : 8u)) {
    Fault("command with a wrong number of arguments", line);
  }
}

void CheckCommandFile(const char* path) {
  FILE* in = std::fopen(path, "rb");
  if (in == nullptr) Fault("command file missing", path);
  std::string all;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) all.append(chunk, got);
  std::fclose(in);
  if (!all.empty() && all.back() != '\n') Fault("last line without its newline", all);
  size_t from = 0;
  while (from < all.size()) {
    const size_t nl = all.find('\n', from);
    CheckLine(all.substr(from, nl - from));
    from = nl + 1;
  }
}

void RemoveCommandFile() { std::remove(g_command_file); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Every input creates the command file anew; on a disk file system each close
  // after the truncation waits for the disk, so memory is preferred.
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || dir[0] == '\0') dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::snprintf(g_command_file, sizeof g_command_file, "%s/defshift-fuzz-%ld.cmd", dir,
                static_cast<long>(getpid()));
  std::atexit(RemoveCommandFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Conversion run(kRegion);
  MemoryStore* store = new MemoryStore;
  for (const std::string& record : SplitRecords(data, size)) store->Add(record);
  run.infile = store;
  if (run.setoutfile(2, g_command_file) != 0) std::abort();

  Config* conf = run.readinall();
  Forcfg* translated = new Forcfg(conf);
  ReleaseRecords(conf);
  delete conf;
  if (run.outfile->openoutfile() != 0) Fault("command file not created", g_command_file);
  run.outfile->GenerateCommandScript(translated);
  if (run.outfile->closefile() != 0) Fault("command file not written", g_command_file);
  ReleaseDefinitions(translated);
  delete translated;

  CheckCommandFile(g_command_file);
  return 0;
}
