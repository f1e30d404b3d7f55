// The public interface of libdefshiftcore: the migration request, its one entry
// point and the six product texts. This is all that crosses from defshift into the
// library; everything else stays hidden inside it.
#ifndef DEFSHIFTCORE_DEFSHIFTCORE_H_
#define DEFSHIFTCORE_DEFSHIFTCORE_H_

#include <cstdint>

// On Windows, defshiftcore.def names what defshiftcore.dll exports, and a program
// bound to the DLL imports the texts, which are data, by their import entries;
// programs linked with the static library (DEFSHIFTCORE_STATIC) take them as
// they are. Elsewhere the names are the ones left visible.
#if defined(_WIN32)
#if defined(DEFSHIFT_BUILDING) || defined(DEFSHIFTCORE_STATIC)
#define DEFSHIFT_EXPORT
#else
#define DEFSHIFT_EXPORT __declspec(dllimport)
#endif
#elif defined(DEFSHIFT_BUILDING)
#define DEFSHIFT_EXPORT __attribute__((visibility("default")))
#else
#define DEFSHIFT_EXPORT
#endif

// The bits of AdmSAMigrationData::Options, one for each option given.
enum AdmSAOptionBit : uint32_t {
  kSourceBit = 1,    // inf
  kOutputBit = 2,    // outf
  kLogBit = 4,       // logf
  kRegionBit = 8,    // region
  kAccountBit = 16,  // acctf: the account file is written
  kCheckBit = 32,    // the command file checks its commands
  kJournalBit = 64,  // jnlf: the command file is journaled (implies kCheckBit)
  kPackBit = 128,    // the tavoupdate commands carry as many attributes as fit a line
};

// One migration request. The caller owns the texts; the library copies what it keeps.
struct AdmSAMigrationData {
  char* inf;         // source control file name (file description name), or null
  char* outf;        // command file to write
  char* logf;        // log file name, or null to report on the console
  char* region;      // region the commands are generated for, or null
  uint32_t Options;  // the options given: AdmSAOptionBit
  char* acctf;       // account file to write; read only when Options has 16
  char* jnlf;        // journal of the command file; read only when Options has 64
};

extern "C" {

// Runs one whole migration. Returns 0 when it ran to its end, -1 when it failed
// (the reasons are in the report).
DEFSHIFT_EXPORT int transmain(AdmSAMigrationData* md);

// The product texts, read-only.
DEFSHIFT_EXPORT extern const char* const Title;
DEFSHIFT_EXPORT extern const char* const Copyright;
DEFSHIFT_EXPORT extern const char* const NewTAVOName;
DEFSHIFT_EXPORT extern const char* const NewTAVOName2;
DEFSHIFT_EXPORT extern const char* const OldTAVOName;
DEFSHIFT_EXPORT extern const char* const OldTAVOName2;

}  // extern "C"

#endif  // DEFSHIFTCORE_DEFSHIFTCORE_H_
