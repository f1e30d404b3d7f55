// Fuzz target: the option scan of the defshift command line, in process.
//
// The input is the argument vector after the program name, its arguments ended
// by NUL bytes (the last one need not be). defshift's main, compiled in under
// the name DefshiftMain, scans them; the migration itself is replaced by a check
// that the request it would get is sound.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "defshiftcore.h"

int DefshiftMain(int ArgC, char** ArgV);

namespace {

// Reads every byte of text up to its terminator, so that a text not ended in its
// own storage is a sanitizer finding.
size_t Length(const char* text) { return text != nullptr ? std::strlen(text) : 0; }

}  // namespace

// The migration is asked for only with a source file, an output file and a region,
// each a text of at least one character, and with exactly the options given.
extern "C" int transmain(AdmSAMigrationData* md) {
  if (md == nullptr) std::abort();
  if (Length(md->inf) == 0 || Length(md->outf) == 0 || Length(md->region) == 0) std::abort();
  Length(md->logf);
  if ((md->Options & 1) == 0 || (md->Options & 2) == 0 || (md->Options & 8) == 0) std::abort();
  if (((md->Options & 4) != 0) != (md->logf != nullptr)) std::abort();
  Length(md->acctf);
  if (((md->Options & 16) != 0) != (md->acctf != nullptr)) std::abort();
  if ((md->Options & 16) != 0 && Length(md->acctf) == 0) std::abort();
  Length(md->jnlf);
  if (((md->Options & 64) != 0) != (md->jnlf != nullptr)) std::abort();
  if ((md->Options & 64) != 0 && Length(md->jnlf) == 0) std::abort();
  Length(md->codepages);
  if (((md->Options & 256) != 0) != (md->codepages != nullptr)) std::abort();
  if ((md->Options & 256) != 0 && Length(md->codepages) == 0) std::abort();
  if ((md->Options & ~0x1FFu) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  args.emplace_back("defshift");
  size_t from = 0;
  while (from < size) {
    const void* nul = std::memchr(data + from, '\0', size - from);
    const size_t end =
        nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
    args.emplace_back(reinterpret_cast<const char*>(data) + from, end - from);
    from = end + 1;
  }
  // Each argument in storage of its own, so that a read past one is seen.
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    char* copy = static_cast<char*>(std::malloc(arg.size() + 1));
    if (copy == nullptr) std::abort();
    std::memcpy(copy, arg.c_str(), arg.size() + 1);
    argv.push_back(copy);
  }
  argv.push_back(nullptr);
  DefshiftMain(static_cast<int>(args.size()), argv.data());
  for (char* arg : argv) std::free(arg);
  return 0;
}
