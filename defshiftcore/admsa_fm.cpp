#include "admsa_fm.h"

#include "admsa_supp_copy.h"

FMFile::FMFile(const char* name) : fn(name != nullptr ? CopyText(name) : nullptr), status(0) {}

FMFile::~FMFile() = default;

int FMFile::openinfile() { return -1; }
int FMFile::openoutfile() { return -1; }
int FMFile::closefile() { return -1; }
int FMFile::readstat() { return -1; }
InRec* FMFile::readrec() { return nullptr; }
int FMFile::writerec(Buffer*) { return -1; }
int FMFile::writeoutall(Forcfg*) { return -1; }
int FMFile::GenerateCommandScript(Forcfg*) { return -1; }
