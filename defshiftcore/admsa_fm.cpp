#include "admsa_fm.h"

#include <cstdlib>
#include <cstring>

#include "admsa_errs.h"

FMFile::FMFile(const char* name) : fn(nullptr), status(0) {
  if (name != nullptr) {
    fn = strdup(name);
    if (fn == nullptr) OutOfMemory(static_cast<long>(std::strlen(name)) + 1);
  }
}

FMFile::~FMFile() { std::free(fn); }

int FMFile::openinfile() { return -1; }
int FMFile::openoutfile() { return -1; }
int FMFile::closefile() { return -1; }
int FMFile::readstat() { return -1; }
InRec* FMFile::readrec() { return nullptr; }
int FMFile::writerec(Buffer*) { return -1; }
int FMFile::writeoutall(Forcfg*) { return -1; }
int FMFile::GenerateCommandScript(Forcfg*) { return -1; }
