// The journal of a journaled command file (defshift -j): the record of every
// tavoadd and tavoupdate command of the file that succeeded, so that a later
// run of defshift writes only the commands that are left.
//
// Format. A text file of lines, each ended by CR LF as the command
// interpreter's ECHO ends it (LF alone is read too), of three kinds:
//   DSJ1 <fingerprint>        the command succeeded
//   DSJ1 start <fingerprint>  a tavoadd starts (written just before it runs)
//   DSJ1 end                  a run of the file came to its end
// Journals of files written before the last two kinds existed hold the first
// kind alone, and are read as ever. Only the command file writes it, one line
// at a time, appending; defshift only reads it.
//
// A start line that is the last whole line of the journal, with no line of its
// command's success anywhere, names the tavoadd that was running when the last
// run was cut short (in_doubt): it may have created its resource. A tavoadd
// that failed is followed by further lines, at least the end line.
//
// Fingerprint. The SHA-256 digest, in 64 lowercase hexadecimal digits, of the
// words the program is handed: its name as the command names it ("tavoadd",
// "tavoupdate"), then each argument as the C runtime splits the command line,
// each word followed by one NUL byte. So the command
//   tavoadd -c td -r ORDERS -P ORD1
// has the fingerprint of the 32 bytes "tavoadd\0-c\0td\0-r\0ORDERS\0-P\0ORD1\0".
// A command has the same fingerprint on every system and however its
// attributes are spread over the lines of the file; it changes when any word
// of it changes.
#ifndef DEFSHIFTCORE_ADMSA_JOURNAL_H_
#define DEFSHIFTCORE_ADMSA_JOURNAL_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The tag that begins every line, its blank included.
extern const char kJournalTag[];
constexpr size_t kJournalTagLength = 5;
constexpr size_t kFingerprintDigits = 64;
// A line without its end.
constexpr size_t kJournalLineLength = kJournalTagLength + kFingerprintDigits;
// What follows the tag in a start line, before the fingerprint, and the whole
// of an end line.
extern const char kJournalStart[];
extern const char kJournalEnd[];

using Fingerprint = std::array<uint8_t, 32>;  // a SHA-256 digest

// Splits the Length bytes at Line, a command line as the command file holds it
// before the interpreter's escapes, into the words its program gets: blanks
// and tabs outside double quotes separate them; a " after 2n backslashes gives
// n backslashes and opens or closes a quoted stretch, after 2n+1 backslashes n
// backslashes and a plain "; other backslashes stand for themselves. The words
// replace *rWords.
void SplitCommandWords(const char* Line, size_t Length, std::vector<std::string>* rWords);
// The same, the words appended to *rBytes, each followed by a NUL byte: the
// bytes whose digest is the command's fingerprint.
void AppendCommandWords(const char* Line, size_t Length, std::string* rBytes);

// The fingerprint of the command whose program and arguments are Words.
Fingerprint FingerprintOf(const std::vector<std::string>& Words);
// The fingerprint of the command line Line (Length bytes), split as
// SplitCommandWords splits it.
Fingerprint CommandFingerprint(const char* Line, size_t Length);
// Writes the kFingerprintDigits digits of Print at Digits, without a NUL.
void FingerprintDigits(const Fingerprint& Print, char* Digits);
// Appends the kFingerprintDigits digits of Print to *rOut.
void AppendFingerprint(const Fingerprint& Print, std::string* rOut);

// The fingerprints that a journal holds, read once, then looked up command by
// command.
class Journal {
 public:
  // What Read found wrong in a line.
  static constexpr int kForeignLine = -1;

  Journal() = default;
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Reads the journal Name, in one pass. 0 when it was read (a journal that
  // does not exist holds nothing: exists() is false). A line that an interrupted
  // run cut short is left aside and counted (cut()): the last line of the file
  // when it is the start of a journal line, possibly followed by NUL bytes, and
  // such a start joined to the front of a whole line by the next run's append.
  // kForeignLine when a line is one that no command file writes; foreign_line()
  // is then its number, from 1, and nothing is held. Otherwise the error number
  // of a failure to open or read the file, with nothing held.
  int Read(const char* Name);
  // Reads the text Text as Read reads a file; 0 or kForeignLine.
  int ReadText(const std::string& Text);

  // Whether the journal holds Print; the first time, it counts as matched.
  bool Holds(const Fingerprint& Print);
  // Whether Print is the tavoadd in doubt (see the format above).
  bool InDoubt(const Fingerprint& Print) const { return in_doubt_ && doubt_ == Print; }

  // Whether a tavoadd is in doubt, and which.
  bool in_doubt() const { return in_doubt_; }
  const Fingerprint& doubt() const { return doubt_; }

  bool exists() const { return exists_; }
  // Distinct fingerprints held, and how many of them Holds has matched.
  size_t held() const { return held_; }
  size_t matched() const { return matched_; }
  // Lines read whole (of every kind), duplicates included, and lines left aside.
  size_t lines() const { return lines_; }
  size_t cut() const { return cut_; }
  size_t foreign_line() const { return foreign_; }

 private:
  struct Slot {
    Fingerprint print;
    uint8_t state;  // kEmpty, kHeld or kMatched
  };
  static constexpr uint8_t kEmpty = 0;
  static constexpr uint8_t kHeld = 1;
  static constexpr uint8_t kMatched = 2;

  void Clear();
  // Takes in the whole lines of the Length bytes at Text, which go on from the
  // start of a line in *rRest, and leaves in *rRest what follows the last line
  // end. false at a foreign line (or one longer than any journal line).
  bool Feed(const char* Text, size_t Length, std::string* rRest);
  // Takes in Rest, what the journal ends with after its last line end; 0 or
  // kForeignLine.
  int Finish(const std::string& Rest);
  // Takes in one line, without its end; Last when the file ended without one.
  // false for a foreign line.
  bool Line(const char* Text, size_t Length, bool Last);
  // Takes in a whole line of kind Kind (admsa_journal.cpp) at Text.
  void Take(int Kind, const char* Text);
  void Insert(const Fingerprint& Print);
  // The slot of Print, or the empty slot where it would go.
  Slot* Find(const Fingerprint& Print);
  void Grow();

  std::vector<Slot> slots_;  // open addressing; a power of two, at most half full
  bool exists_ = false;
  size_t held_ = 0;
  size_t matched_ = 0;
  size_t lines_ = 0;
  size_t cut_ = 0;
  size_t foreign_ = 0;
  size_t number_ = 0;        // lines taken in so far
  bool last_start_ = false;  // the last whole line is a start line, of last_print_
  Fingerprint last_print_{};
  bool in_doubt_ = false;
  Fingerprint doubt_{};
};

#endif  // DEFSHIFTCORE_ADMSA_JOURNAL_H_
