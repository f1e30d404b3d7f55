// Runs a built program as a separate process in a folder of its own, for the
// end-to-end tests, and compares what it writes with expected files.
#ifndef TESTS_SUPPORT_RUN_PROGRAM_H_
#define TESTS_SUPPORT_RUN_PROGRAM_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ProgramRun {
  int status = -1;  // exit status: 127 when the program could not be started (the
                    // reason is on err), -1 when no process was made or it did not exit
  int signal = 0;   // the signal that ended the program; 0 when it exited
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs program with args (argv[1] onwards) in the folder dir, with standard input
// empty and both output streams captured. The environment is the test's own with
// each "NAME=VALUE" of env put in place of any variable of that name. Blocks until
// the program ends. On Windows, where a program's text output ends its lines in
// CR LF, out and err have each CR LF as LF.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir, const std::vector<std::string>& env = {});

#if !defined(_WIN32)
// As RunProgram, and once ready(), asked about every millisecond while the
// program runs, returns true, the program is stopped where it is, sent Signal
// and let go on, so that Signal finds it where ready() saw it. *rSent tells
// whether ready() came true before the program ended. Not on Windows, which has
// no such signals.
ProgramRun RunProgramInterrupted(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& dir, const std::vector<std::string>& env,
                                 const std::function<bool()>& ready, int Signal, bool* rSent);
#endif

// A new empty folder under the temporary folder ($TMPDIR or /tmp), removed with
// everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  // The path of name inside the folder.
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  // The names of the entries in the folder, sorted.
  std::vector<std::string> Entries() const;
  // Runs program with args in the folder, where the stand-in File Manager serves
  // the folder's control-file images.
  ProgramRun Run(const std::string& program, const std::vector<std::string>& args) const;

 private:
  std::string path_;
};

// The folder of a test whose process ends (EXPECT_EXIT). On Windows the
// process that ends is a new one that runs the test again up to its end: it
// finds the folder of the first through the environment variable Variable,
// which the first sets and clears when the object goes. Only the first owns the
// folder and removes it.
class EndingFolder {
 public:
  explicit EndingFolder(const char* Variable);
  ~EndingFolder();
  EndingFolder(const EndingFolder&) = delete;
  EndingFolder& operator=(const EndingFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  // The entries of the folder, sorted, as the first process sees them.
  std::vector<std::string> Entries() const;

 private:
  const char* variable_;
  std::optional<ScratchFolder> own_;
  std::string path_;
};

// Compares actual with the content of the expected file at path. With the
// environment variable DEFSHIFT_UPDATE_GOLDEN=1, writes actual to path instead.
void ExpectMatchesGolden(const std::string& path, const std::string& actual);

#endif  // TESTS_SUPPORT_RUN_PROGRAM_H_
