// defshift: the console program. Prints the banner, scans the options, fills one
// migration request and hands it to transmain in libdefshiftcore, which does the
// whole migration and writes the report.
//
// Exit status: 0 when the usage text or the version was shown or the migration
// ran to its end, 1 when a required option is missing, two of the output, log
// and account files are one file, or the migration failed (its report that
// could not be written included). A run ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE ends
// as the signal ends it, its temporary files removed (admsa_interrupt.h).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "defshiftcore.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

const char kDefaultOutput[] = "migratetavo.cmd";
const char kDefaultLog[] = "defshift.log";

char* CopyText(const char* text) {
  char* copy = strdup(text);
  if (copy == nullptr) {
    std::fprintf(stderr, "Couldn't obtain %zu bytes\n", std::strlen(text) + 1);
    std::exit(1);
  }
  return copy;
}

void Banner() {
  std::printf("\n--------------------------------------------------------------\n");
  std::printf("%s\n", NewTAVOName2);
  std::printf("%s\n", Copyright);
  std::printf("%s utility for %s\n", Title, OldTAVOName2);
  std::printf("--------------------------------------------------------------\n");
}

void Help() {
  std::printf("defshift: migrate control file definitions from %s\n", OldTAVOName2);
  std::printf("               to the format required for %s.\n", NewTAVOName);
  std::printf("\nThis command generates a command file which can be run to update\n");
  std::printf("the permanent database for a specified region with resource definitions\n");
  std::printf("migrated from %s.\n", OldTAVOName2);
  std::printf("Usage:\n");
  std::printf(
      "\tdefshift -i SourceFile -r Region [-o OutputFile] [-a AccountFile] [-e] [-j JournalFile] "
      "[-p] [-l [LogFile]]] \n");
  std::printf("where:\n");
  std::printf("\tSourceFile\tis the name of the QVBCTFTB control file that you\n");
  std::printf("\t          \twish to migrate. NB: Do not include either path or file extension.\n");
  std::printf(
      "\tRegion    \tis the name of the region for which the commands are to be generated.\n");
  std::printf("\tOutputFile\tis the output file to be generated containing the\n");
  std::printf("\t          \t%s stanza file definitions.\n", NewTAVOName);
  std::printf("\t          \tIf not specified, defaults to %s.\n", kDefaultOutput);
  std::printf("\tAccountFile\tis a file to be generated (CSV) with one line for every\n");
  std::printf("\t          \trecord of the control file and every definition, telling\n");
  std::printf(
      "\t          \twhether it was migrated, amended, not migrated or skipped, and why.\n");
  std::printf("\t-e        \tmakes the command file check every tavoadd and tavoupdate\n");
  std::printf("\t          \tcommand it runs: at its end it names the definitions whose\n");
  std::printf("\t          \tcommands failed, and ends with exit status 1 if any did.\n");
  std::printf("\tJournalFile\tis the journal of a checked command file (-j implies -e):\n");
  std::printf("\t          \tevery command that succeeds appends its fingerprint to it,\n");
  std::printf("\t          \tand a command whose fingerprint it holds is left out.\n");
  std::printf("\t-p        \tputs as many attributes on each tavoupdate command as fit\n");
  std::printf("\t          \tin a line, so that the command file starts fewer programs.\n");
  std::printf("\t          \tIt needs a tavoupdate that takes several attributes, as\n");
  std::printf("\t          \tthe one of %s does.\n", NewTAVOName);
  std::printf("\tLogFile   \tis the name of a file in which to log messages.\n");
  std::printf("\t          \tIf omitted, messages are logged to the console.\n");
  std::printf("\t          \tIf the flag is specified without a filename, messages\n");
  std::printf("\t          \tare logged to \"%s\"\n", kDefaultLog);
  std::printf("NOTE: You must have the %s File Manager installed\n", OldTAVOName);
  std::printf("and running to execute this command.\n\n");
}

void Version() {
  std::printf("defshift %s\n", DEFSHIFT_VERSION);
  std::printf("%s\n", Copyright);
}

bool IsOptionLead(char c) { return c == '-' || c == '/'; }

// Whether a candidate value is an option instead. Here absolute paths begin with
// '/', like options do: one that holds a further '/' ("/data/out.cmd") is a path,
// whereas "/h" or "/input" is an option.
bool LooksLikeOption(const char* arg) {
  if (arg[0] == '-') return true;
  return arg[0] == '/' && std::strchr(arg + 1, '/') == nullptr;
}

// Stores a copy of AssociatedData in *OutputBuffer (the last occurrence of an option
// wins). Returns 0 when stored or ignored as empty, -1 when refused.
int SetOption(const char* OptionFlag, const char* AssociatedData, const char* OptionDescription,
              char** OutputBuffer) {
  if (AssociatedData == nullptr) {
    std::printf("Option '%s' requires a value for %s\n", OptionFlag, OptionDescription);
    return -1;
  }
  const size_t iArgLen = std::strlen(AssociatedData);
  if (iArgLen == 0) {
    std::printf("Option '%s' has no data associated with it and is ignored\n", OptionFlag);
    return 0;
  }
  if (LooksLikeOption(AssociatedData)) {
    std::printf("Option '%s' requires a value for %s\n", OptionFlag, OptionDescription);
    return -1;
  }
  std::free(*OutputBuffer);
  *OutputBuffer = CopyText(AssociatedData);
  return 0;
}

// The full name of the file that Name opens: an existing file's own (links
// followed), else its folder's full name and its last part; Name itself when
// even the folder cannot be found.
std::string FullName(const char* Name) {
#ifdef _WIN32
  char full[_MAX_PATH];
  return _fullpath(full, Name, sizeof full) != nullptr ? std::string(full) : std::string(Name);
#else
  if (char* resolved = realpath(Name, nullptr)) {
    std::string full(resolved);
    std::free(resolved);
    return full;
  }
  const std::string name(Name);
  const size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
  char* resolved = realpath(folder.c_str(), nullptr);
  if (resolved == nullptr) return name;
  std::string full(resolved);
  std::free(resolved);
  return full + "/" + name.substr(slash == std::string::npos ? 0 : slash + 1);
#endif
}

#ifdef _WIN32
// The volume and the index that tell the existing file Name from every other,
// whatever name (a hard link, a link, other letters) it is reached by; false
// when Name cannot be opened to ask.
bool FileIdentity(const char* Name, BY_HANDLE_FILE_INFORMATION* rInfo) {
  // No access asked: only the file's attributes are read. A folder opens too.
  const HANDLE file = CreateFileA(Name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, rInfo) != 0;
  CloseHandle(file);
  return known;
}
#endif

// Whether the files OutputFile and LogFile (any two of the command file, the log
// file and the account) are one file, so that one would be written into the
// other.
bool NameTheSameFile(const char* OutputFile, const char* LogFile) {
  if (OutputFile == nullptr || LogFile == nullptr) return false;
#ifdef _WIN32
  BY_HANDLE_FILE_INFORMATION out;
  BY_HANDLE_FILE_INFORMATION log;
  // Two names of one existing file, hard links included.
  if (FileIdentity(OutputFile, &out) && FileIdentity(LogFile, &log)) {
    return out.dwVolumeSerialNumber == log.dwVolumeSerialNumber &&
           out.nFileIndexHigh == log.nFileIndexHigh && out.nFileIndexLow == log.nFileIndexLow;
  }
  // Windows names a file in either case.
  return _stricmp(FullName(OutputFile).c_str(), FullName(LogFile).c_str()) == 0;
#else
  struct stat out;
  struct stat log;
  // Two names of one existing file, hard links included.
  if (stat(OutputFile, &out) == 0 && stat(LogFile, &log) == 0) {
    return out.st_dev == log.st_dev && out.st_ino == log.st_ino;
  }
  return FullName(OutputFile) == FullName(LogFile);
#endif
}

// Releases the texts of the request when main returns, whatever path it takes.
struct RequestTexts {
  AdmSAMigrationData* md;
  ~RequestTexts() {
    std::free(md->inf);
    std::free(md->outf);
    std::free(md->logf);
    std::free(md->region);
    std::free(md->acctf);
    std::free(md->jnlf);
  }
};

// What an option does with the arguments it is given.
enum OptionKind {
  kHelpOption,     // shows the usage text
  kVersionOption,  // shows the version
  kValueOption,    // takes the next argument, whatever it looks like, as its value
  kLogOption,      // takes the next argument as its value unless it looks like an option
  kFlagOption,     // takes no value: sets its bit
};

struct Option {
  const char* letters;  // the letters that name it after the prefix; "" for none
  const char* word;     // the long option that names it, or null
  OptionKind kind;
  char* AdmSAMigrationData::*field;  // the text its value fills
  const char* description;           // the words that name the value in messages
  uint32_t bit;                      // set in Options once a value is stored
};

const char kVersionWord[] = "--version";

// Only the letter after the prefix counts: "-input" is -i. A word after "--" that
// no row names is scanned by its second character, "-", which no row has.
// clang-format off
const Option kOptions[] = {
  // letters word          kind            field                         description     bit
  {"?hH",    "--help",     kHelpOption,    nullptr,                      nullptr,        0},
  {"",       kVersionWord, kVersionOption, nullptr,                      nullptr,        0},
  {"iI",     nullptr,      kValueOption,   &AdmSAMigrationData::inf,     "input file",   kSourceBit},
  {"oO",     nullptr,      kValueOption,   &AdmSAMigrationData::outf,    "output file",  kOutputBit},
  {"rR",     nullptr,      kValueOption,   &AdmSAMigrationData::region,  "region name",  kRegionBit},
  {"lL",     nullptr,      kLogOption,     &AdmSAMigrationData::logf,    "log file",     kLogBit},
  {"aA",     nullptr,      kValueOption,   &AdmSAMigrationData::acctf,   "account file", kAccountBit},
  {"eE",     nullptr,      kFlagOption,    nullptr,                      nullptr,        kCheckBit},
  {"jJ",     nullptr,      kValueOption,   &AdmSAMigrationData::jnlf,    "journal file", kJournalBit},
  {"pP",     nullptr,      kFlagOption,    nullptr,                      nullptr,        kPackBit},
};
// clang-format on

// The option that arg, which begins with a prefix, names; null for none.
const Option* OptionOf(const char* arg) {
  for (const Option& option : kOptions) {
    if (option.word != nullptr && std::strcmp(arg, option.word) == 0) return &option;
  }
  for (const Option& option : kOptions) {
    if (arg[1] != '\0' && std::strchr(option.letters, arg[1]) != nullptr) return &option;
  }
  return nullptr;
}

// What the scan has found besides the values of the request.
struct Scan {
  bool bShowHelp = false;
  bool bShowVersion = false;
  bool bDefault = false;  // -l took the default log file name
};

// -l: takes next as the log file unless next is missing or looks like an option
// (which is then scanned as one), in which case the default name is taken.
// Returns whether next was taken.
bool TakeLog(const Option& option, const char* arg, const char* next, Scan* scan,
             AdmSAMigrationData* md) {
  const bool taken = next != nullptr && !LooksLikeOption(next);
  if (!taken) scan->bDefault = true;
  // Once taken, the default stays taken for the rest of the scan, whatever a
  // later -l names: that is how this command line has always behaved, so that a
  // command line in use keeps sending its report where it always went.
  if (scan->bDefault) {
    std::free(md->logf);
    md->logf = CopyText(kDefaultLog);
    md->Options |= option.bit;
  } else if (SetOption(arg, next, option.description, &(md->*option.field)) == 0 &&
             md->*option.field != nullptr) {
    md->Options |= option.bit;
  }
  return taken;
}

// Scans the argument arg; next is the argument after it, or null. Returns whether
// next was taken as arg's value.
bool ScanArgument(const char* arg, const char* next, Scan* scan, AdmSAMigrationData* md) {
  if (!IsOptionLead(arg[0])) {
    std::printf("Invalid option specified: '%s' (ignored)\n", arg);
    return false;
  }
  const Option* option = OptionOf(arg);
  if (option == nullptr) {
    std::printf("Unrecognised option: '%s' (ignored)\n", arg);
    return false;
  }
  switch (option->kind) {
    case kHelpOption:
      scan->bShowHelp = true;
      return false;
    case kVersionOption:
      scan->bShowVersion = true;
      return false;
    case kLogOption:
      return TakeLog(*option, arg, next, scan, md);
    case kFlagOption:
      md->Options |= option->bit;
      return false;
    case kValueOption:
      break;
  }
  if (SetOption(arg, next, option->description, &(md->*option->field)) == 0 && next != nullptr &&
      next[0] != '\0') {
    md->Options |= option->bit;
  }
  return next != nullptr;
}

// Whether two of the files of the request are one file, which the usage then
// tells; the journal, which is only read, is none of the files written.
bool FilesClash(const AdmSAMigrationData& md) {
  struct Pair {
    char* AdmSAMigrationData::*one;
    const char* one_kind;
    char* AdmSAMigrationData::*two;
    const char* two_kind;
  };
  // clang-format off
  static const Pair kWritten[] = {
    {&AdmSAMigrationData::outf,  "output",  &AdmSAMigrationData::logf, "log"},
    {&AdmSAMigrationData::acctf, "account", &AdmSAMigrationData::outf, "output"},
    {&AdmSAMigrationData::acctf, "account", &AdmSAMigrationData::logf, "log"},
  };
  // clang-format on
  for (const Pair& pair : kWritten) {
    if (NameTheSameFile(md.*pair.one, md.*pair.two)) {
      std::printf("The %s file '%s' and the %s file '%s' are the same file\n", pair.one_kind,
                  md.*pair.one, pair.two_kind, md.*pair.two);
      return true;
    }
  }
  // The journal is only read; a file written by the run would spoil it.
  for (const char* other : {md.outf, md.logf, md.acctf}) {
    if (NameTheSameFile(md.jnlf, other)) {
      std::printf("The journal file '%s' and the file '%s' are the same file\n", md.jnlf, other);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int ArgC, char** ArgV) {
  AdmSAMigrationData md{};
  const RequestTexts release{&md};
  Scan scan;
  bool bExit = false;

  // The version alone is shown without the banner, so that it can be read by a script.
  if (ArgC == 2 && std::strcmp(ArgV[1], kVersionWord) == 0) {
    Version();
    return 0;
  }
  Banner();
  if (ArgC < 2) scan.bShowHelp = true;
  for (int i = 1; i < ArgC; ++i) {
    const char* next = i + 1 < ArgC ? ArgV[i + 1] : nullptr;
    if (ScanArgument(ArgV[i], next, &scan, &md)) ++i;
  }

  if (scan.bShowHelp) {
    Help();
    return 0;
  }
  if (scan.bShowVersion) {
    Version();
    return 0;
  }
  if ((md.Options & kSourceBit) == 0) {
    std::printf("You must specify a source file for this command\n");
    bExit = true;
  }
  if ((md.Options & kOutputBit) == 0) {
    md.outf = CopyText(kDefaultOutput);
    md.Options |= kOutputBit;
  }
  if ((md.Options & kRegionBit) == 0) {
    std::printf("You must specify a region name for this command\n");
    bExit = true;
  }
  if (bExit) return 1;
  if (FilesClash(md)) return 1;
  // The report and the banner share the console; keep them in order.
  std::fflush(stdout);
  return transmain(&md) == 0 ? 0 : 1;
}
