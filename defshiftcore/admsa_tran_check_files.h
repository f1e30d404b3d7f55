// The files that lie beside a checked command file and that its lines name:
// the failure list, the journal and the journal's lock. Each is named by its
// last part alone, since the file finds them in its own folder (or, on
// Windows NT 4.0, in the current one).
#ifndef DEFSHIFTCORE_ADMSA_TRAN_CHECK_FILES_H_
#define DEFSHIFTCORE_ADMSA_TRAN_CHECK_FILES_H_

#include <string>

// The last part of the file name Path: what follows its last '/', '\' or ':'.
std::string LastPart(const char* Path);
// The name of the failure list of the command file CommandFile with the
// journal JournalFile (null for none): its last part with its extension (from
// its last '.') replaced by ".failed", and ".failed" added again while that
// names the command file or the journal (ignoring case, as Windows does),
// which the file would empty when it starts; a character that no Windows file
// name holds becomes '_'.
std::string FailureListName(const char* CommandFile, const char* JournalFile);
// The name of the lock of the journal JournalFile run by the command file
// CommandFile: the journal's last part with ".lock" added, and added again
// while that names the command file (ignoring case).
std::string LockName(const char* JournalFile, const char* CommandFile);
// Whether the journal name JournalFile can stand in the command file
// CommandFile: its last part is not empty, holds no double quote and no
// control character, and is not the command file's own (beside which it is).
bool JournalNameWritable(const char* JournalFile, const char* CommandFile);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_CHECK_FILES_H_
