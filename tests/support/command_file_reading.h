// A command file of any kind (plain, checked, journaled, packed) read as the
// command interpreter and the programs it starts read it, and the comparisons
// that hold between the kinds made of one control file.
//
// Everything here is worked out from the file's text with the models of the
// interpreter and of the C runtime's splitting of arguments
// (tests/support/interpreter_model.h, argument_model.h); the fingerprint of a
// command is the digest of the words tavoadd or tavoupdate gets, each followed
// by a NUL byte. Nothing of the writer is asked how it meant a line.
//
// A file read keeps its storage for the next one: the fuzzer reads four files
// an input, and taking memory for every line was most of its time. For the
// same reason texts are compared here byte by byte rather than with memcmp,
// which the sanitizer would pass to the fuzzer as hints about the input.
#ifndef TESTS_SUPPORT_COMMAND_FILE_READING_H_
#define TESTS_SUPPORT_COMMAND_FILE_READING_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The longest line the interpreter of Windows NT 4.0 and 2000 reads.
constexpr size_t kLongestCommandFileLine = 2047;

using CommandPrint = std::array<uint8_t, 32>;  // a SHA-256 digest

// One tavoadd or tavoupdate command as its program gets it: its words (the
// program's name, then its arguments), each followed by a NUL byte, are
// CommandFileRead::words from begin to end; its attributes start at attributes.
struct CommandRead {
  size_t begin;
  size_t attributes;
  size_t end;
  CommandPrint print;  // journaled: the digest of its words, its fingerprint
};

// One definition of the file: its block of remarks and its commands.
struct DefinitionRead {
  uint64_t remarks;  // a hash of the remark lines as the interpreter leaves them
  size_t first;      // its commands are CommandFileRead::commands from first on
  size_t count;
  int number;        // checked: the number its checks give it, from 1
  uint64_t failure;  // checked: a hash of what its failure line adds to the list
};

struct CommandFileRead {
  std::string words;  // the words of every command
  std::vector<CommandRead> commands;
  std::vector<DefinitionRead> definitions;
  std::string header;    // the lines before the first definition, each ended by '\n'
  bool trailer = false;  // checked: the trailer that prints the counts and sets the status

  void Clear();
};

// What the file is meant to be.
struct FileKind {
  bool checked = false;    // every command checked (-e, and -j)
  bool journaled = false;  // every command that passes appends its fingerprint to the journal
};

// Reads Text, a command file of Kind written for Region, into *rFile. Every
// line must be within kLongestCommandFileLine characters, hold no control
// character but a tab, and be a remark, an empty line, a command or a line of
// the checks; each command must reach its program as one command with the
// class, the region and the name in place. In a checked file every line but
// the labels of the header and the trailer begins with '@'; the commands of
// each definition follow its progress line, which counts its failures for it,
// shows its class and name, and shows a place that counts up, of the same
// total, with its percentage; each command carries the check of its
// definition, whose failure line names the command's own line in the file and
// its program (and, journaled, its own fingerprint); in a journaled file a
// start line of the command's fingerprint naming its line comes just before
// every tavoadd and before nothing else; each definition with commands must
// be followed by the line that names it in the failure list, and the trailer,
// counting the commands read, must end the file. "" when so, else what is
// wrong and the line.
std::string ReadCommandFile(const std::string& Text, const std::string& Region, FileKind Kind,
                            CommandFileRead* rFile);

// Whether Other gives the programs the definitions of Plain, the plain file of
// the same control file: the header of Plain (but for its second line, the time
// it was made) at its start, the same definitions in the same order, with the
// same remarks, the same tavoadd commands and, line for line, the same
// tavoupdate commands, or, Packed, the same attributes in the same order on
// lines of the same head. "" when so, else the first difference.
std::string CompareWithPlain(const CommandFileRead& Plain, const CommandFileRead& Other,
                             bool Packed);

// Whether Journaled is Whole, the same kind of file made without a journal,
// with exactly the commands whose fingerprints Held finds left out, and the
// definitions whose every command it finds left out altogether. "" when so.
std::string CompareJournaled(const CommandFileRead& Whole, const CommandFileRead& Journaled,
                             const std::function<bool(const CommandPrint&)>& Held);

// The 64 lowercase hexadecimal digits of Print, appended to *rOut.
void AppendDigits(const CommandPrint& Print, std::string* rOut);

#endif  // TESTS_SUPPORT_COMMAND_FILE_READING_H_
