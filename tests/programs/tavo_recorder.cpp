// A stand-in for tavoadd and tavoupdate, for the tests that run a command file
// under the command interpreter: it records the arguments it was given and
// fails for chosen names.
//
// Copied into the folder of the command file as tavoadd.exe and tavoupdate.exe,
// it takes the name of the copy (without folder or extension) for its own, and
//  - appends to calls.log in the working folder one line for the call: its name,
//    then each argument after a byte 0x1f (no argument of a command file holds a
//    control character);
//  - reads fail.txt in the working folder, when there is one: each line
//    "<program> <status> <text>" makes the program end with that status when
//    one of its arguments is exactly the text (which may hold blanks). It ends
//    with status 0 otherwise. The status "kill" instead ends, on Windows, the
//    process that started it (the command interpreter running the file) at
//    once, as an interruption would, and then itself, without recording the
//    call: the call has done nothing. The status "folder:<name>" (a name
//    without blanks) instead takes the name <name> in the working folder by a
//    folder, as a journal that can no longer be written, and then ends with 0:
//    a file of that name is first renamed <name>.kept.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>
#endif

namespace {

// The status of a "kill" rule, and of a "folder:" rule.
constexpr int kKill = -1000000;
constexpr int kFolder = -1000001;

// Ends the process that started this one.
void EndParent() {
#if defined(_WIN32)
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  const HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  for (BOOL more = Process32First(all, &entry); more; more = Process32Next(all, &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  }
  CloseHandle(all);
  TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, parent), 255);
#endif
}

// The program's own name, in lower case, from the command as the interpreter
// was given it: "tavoadd" for tavoadd or ...\TAVOADD.EXE.
std::string OwnName(const char* argv0) {
  std::string path = argv0 != nullptr ? argv0 : "";
  const size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) path.erase(0, slash + 1);
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos) path.erase(dot);
  for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return path;
}

// Takes Name by a folder, the file of that name kept as Name.kept.
void TakeByFolder(const std::string& Name) {
  std::rename(Name.c_str(), (Name + ".kept").c_str());
#if defined(_WIN32)
  CreateDirectoryA(Name.c_str(), nullptr);
#endif
}

// The status that fail.txt in the working folder gives the call of self with
// the arguments argv; 0 when none does. The name of a "folder:" rule goes to
// *rFolder.
int StatusOf(const std::string& self, int argc, char** argv, std::string* rFolder) {
  FILE* fail = std::fopen("fail.txt", "rb");
  if (fail == nullptr) return 0;
  int status = 0;
  char line[1024];
  while (status == 0 && std::fgets(line, sizeof line, fail) != nullptr) {
    std::string rule(line);
    while (!rule.empty() && (rule.back() == '\n' || rule.back() == '\r')) rule.pop_back();
    const size_t blank = rule.find(' ');
    const size_t second = blank == std::string::npos ? blank : rule.find(' ', blank + 1);
    if (second == std::string::npos || rule.compare(0, blank, self) != 0) continue;
    const std::string code = rule.substr(blank + 1, second - blank - 1);
    const std::string text = rule.substr(second + 1);
    for (int i = 1; i < argc; ++i) {
      if (text != argv[i]) continue;
      if (code.rfind("folder:", 0) == 0) {
        *rFolder = code.substr(7);
        status = kFolder;
      } else {
        status = code == "kill" ? kKill : std::atoi(code.c_str());
      }
    }
  }
  std::fclose(fail);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string self = OwnName(argc > 0 ? argv[0] : nullptr);
  std::string folder;
  int status = StatusOf(self, argc, argv, &folder);
  if (status == kKill) {
    EndParent();
    return 255;
  }
  if (status == kFolder) {
    TakeByFolder(folder);
    status = 0;
  }
  std::string call = self;
  for (int i = 1; i < argc; ++i) {
    call.push_back('\x1f');
    call.append(argv[i]);
  }
  call.push_back('\n');
  FILE* log = std::fopen("calls.log", "ab");
  if (log == nullptr || std::fwrite(call.data(), 1, call.size(), log) != call.size() ||
      std::fclose(log) != 0) {
    std::fprintf(stderr, "%s: cannot record the call in calls.log\n", self.c_str());
    return 99;
  }
  return status;
}
