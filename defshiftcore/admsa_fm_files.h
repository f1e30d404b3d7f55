// Files that are replaced only when complete: the command file and the account
// are each written under a temporary name in their own folder and take the
// requested name only once written and closed without error, so that a failed
// run leaves an earlier file of that name as it was.
#ifndef DEFSHIFTCORE_ADMSA_FM_FILES_H_
#define DEFSHIFTCORE_ADMSA_FM_FILES_H_

#include <cstdio>
#include <string>

// Opens a stream to write the file Name, in text mode unless Binary (then the
// bytes written are the bytes stored on every system). When Name is missing or a
// regular file, the stream writes a new temporary file in the same folder (the
// folder of the file a link names), stored in *rTemp, and *rTarget is the name
// that CommitWholeFile gives it once it is complete; an existing file keeps its
// permissions. Should the process end before CommitWholeFile or
// DiscardWholeFile (a run that cannot obtain memory ends at once, an
// interruption ends it: AbandonPendingFiles), the temporary file is removed.
// Role, a text that outlives the file ("command file", "account"), names it in
// the line of an interruption. When Name is an existing file of another kind (a
// device such as /dev/null, a pipe), the stream writes to it directly and
// *rTemp and *rTarget are empty: nothing is ever renamed over such a file.
//
// Returns 0 with *rFile open, or the error number of the failure with *rFile
// null and nothing created: EISDIR for a folder, EACCES for an existing file
// that may not be written, ENAMETOOLONG for a temporary name longer than
// kLongestTempName, the error of the folder otherwise (a missing folder gives
// ENOENT).
int OpenWholeFile(const char* Name, FILE** rFile, std::string* rTemp, std::string* rTarget,
                  bool Binary = false, const char* Role = "command file");

// The longest temporary name, its NUL included: the names are kept where an
// interruption can find them without taking memory.
constexpr size_t kLongestTempName = 4096;

// Puts the temporary file Temp, whose stream Stream has been flushed, on the
// disk (fsync; FlushFileBuffers on Windows), so that it is whole there before
// it takes the place of an earlier file. 0 (also where the file system has no
// such call), or the error number of the failure.
int SyncWholeFile(FILE* Stream, const std::string& Temp);

// Gives the complete, closed temporary file Temp the name Target (see
// ReplaceByRename), then puts the new name on the disk by syncing its folder
// (not on Windows, where the rename itself is written through). 0, or the error
// number of a failed rename; then Temp is left for DiscardWholeFile.
int CommitWholeFile(const std::string& Temp, const std::string& Target);

// Removes the temporary file Temp, which is not complete.
void DiscardWholeFile(const std::string& Temp);

// Gives the closed file From the name To, replacing a file of that name in one
// step. 0, or the error number of the failure; then From is left as it was.
int ReplaceByRename(const char* From, const char* To);

// Interruptions. AbandonPendingFiles removes every temporary file that is not
// complete and writes into Line (Size bytes) the line that says what the
// interruption leaves, ended by a newline and NUL: "defshift: interrupted; no
// command file or account was replaced", or which files of the run already took
// their names ("... the command file was replaced, not the account"). Returns
// the line's length. Safe in a signal handler: it takes no memory and calls
// only unlink and DeleteFile. On Windows it waits for a rename under way and
// keeps every later one from starting: the process must end after it.
size_t AbandonPendingFiles(char* Line, size_t Size);
// A run starts: the files that earlier runs of the process replaced are not
// its own.
void ForgetReplacedFiles();

// What the file layer has done, for tests that follow its steps.
enum FileEvent {
  kFileSynced,    // a temporary file is on the disk (its name)
  kFileReplaced,  // a complete file took its name (the name)
  kFolderSynced,  // a folder is on the disk after a rename (its name)
};
using FileEventHook = void (*)(FileEvent Event, const char* Name);
// From now on Hook (null for none) is called after each of those steps; returns
// the hook before.
FileEventHook SetFileEventHook(FileEventHook Hook);

#endif  // DEFSHIFTCORE_ADMSA_FM_FILES_H_
