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
// DiscardWholeFile (a run that cannot obtain memory ends at once), the
// temporary file is removed. When Name is an existing file of another kind (a
// device such as /dev/null, a pipe), the stream writes to it directly and
// *rTemp and *rTarget are empty: nothing is ever renamed over such a file.
//
// Returns 0 with *rFile open, or the error number of the failure with *rFile
// null and nothing created: EISDIR for a folder, EACCES for an existing file
// that may not be written, the error of the folder otherwise (a missing folder
// gives ENOENT).
int OpenWholeFile(const char* Name, FILE** rFile, std::string* rTemp, std::string* rTarget,
                  bool Binary = false);

// Flushes Stream: 0 when every byte written to it so far reached the file, else
// the error number of the flush, or EIO when an earlier write failed. Most write
// failures (a full disk) show only when the buffer goes out.
int FlushWholeFile(FILE* Stream);

// Gives the complete, closed temporary file Temp the name Target (see
// ReplaceByRename). 0, or the error number of the failure; then Temp is left
// for DiscardWholeFile.
int CommitWholeFile(const std::string& Temp, const std::string& Target);

// Removes the temporary file Temp, which is not complete.
void DiscardWholeFile(const std::string& Temp);

// Gives the closed file From the name To, replacing a file of that name in one
// step. 0, or the error number of the failure; then From is left as it was.
int ReplaceByRename(const char* From, const char* To);

#endif  // DEFSHIFTCORE_ADMSA_FM_FILES_H_
