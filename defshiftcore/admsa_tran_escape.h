// What a line of the command file may hold, and how it is written so that the
// command interpreter hands tavoadd and tavoupdate exactly the characters of the
// line: no value from the control file or the command line is ever read by the
// interpreter as a command, a redirection, a variable or a line continuation.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_ESCAPE_H_
#define DEFSHIFTCORE_ADMSA_TRAN_ESCAPE_H_

#include <cstddef>
#include <string>

// The longest line the command interpreter of Windows NT 4.0 and Windows 2000
// reads (later ones read 8191).
constexpr size_t kInterpreterLineLimit = 2047;

// The longest region name a command file can carry, in bytes. Besides the region,
// the longest command line the rule tables can produce holds under 340 characters:
// "tavoupdate -c tsd -r ", " -P ", a resource name of at most 32 characters and
// two attribute texts of at most 133 characters each (the region definition's
// ClassMaxTasks, ten limits joined), each with its blank and enclosing quotes.
// Written as arguments (AppendArgument) and then escaped (ScriptEscape), a
// character takes at most three: a " becomes \" and then \^". So
// 3 x (340 + 2 + 200) = 1626, and with the '@' before it and the check of a
// journaled command file after it (under 420 characters, admsa_tran_check.h)
// a command line stays within kInterpreterLineLimit; so do header line 7 with
// the region, the line that names the region definition when it failed, 2 x
// 200 characters and some 80 more, and the line that shows it before its
// commands, 6 x 200 and some 100 more. Expanded, a checked line grows by what
// its variables hold: twice the journal's path (DEFSHIFT_D, DEFSHIFT_E), twice
// the command file's name and twice a name cut to 48 characters
// (DEFSHIFT_U or DEFSHIFT_A, DEFSHIFT_N), each with its carets.
constexpr size_t kMaxRegionLength = 200;

// Line as the command file holds it. A line holding none of % ^ & | < > is
// returned unchanged. Otherwise every % is doubled and a caret is put before every
// ^ & | < > ( ) and " of the line, so that the interpreter never enters its
// quoted state there, removes the carets and leaves the line's own characters.
// Line must hold no control character (see HoldsControlCharacter): no escape
// makes those safe.
std::string ScriptEscape(const std::string& Line);
// Appends the Length bytes at Line to *rOut as ScriptEscape makes them; when
// Always, escaped even when it holds none of % ^ & | < >.
void AppendScriptEscaped(const char* Line, size_t Length, std::string* rOut, bool Always = false);

// Appends the Length bytes at Text with the carets that AppendScriptEscaped
// puts, but every % as it is: the value of a variable that a line sets, which
// the line that expands it then reads, removing the carets and leaving the text.
void AppendCareted(const char* Text, size_t Length, std::string* rOut);

// Whether the interpreter, reading the Length bytes at Line as they stand, ends
// within double quotes or meets a parenthesis outside them. A command joined to
// such a line with & would be read as part of the line's last argument or
// within a block; escaped whole (AppendScriptEscaped with Always), the line
// holds no quote or parenthesis that the interpreter reads.
bool NeedsEscapeBeforeJoin(const char* Line, size_t Length);
// Appends the Length bytes at Line to *rOut as the command file holds a line
// that is followed by a command joined to it: escaped whole when
// NeedsEscapeBeforeJoin finds it must be, else as AppendScriptEscaped.
void AppendJoinEscaped(const char* Line, size_t Length, std::string* rOut);

// A line as it is put together, piece by piece, read as the escapes above read
// it: what it holds that decides its escaping, and so how long the command file
// holds it, without writing it. A copy measures a longer line without changing
// the original.
class LineScan {
 public:
  // The Length bytes at Text now end the line.
  void Append(const char* Text, size_t Length);
  // The length of what AppendScriptEscaped appends for the line or, when
  // Joined, AppendJoinEscaped.
  size_t Written(bool Joined) const;
  // NeedsEscapeBeforeJoin of the line.
  bool joinescaped() const { return quoted_ || parenthesis_; }

 private:
  size_t length_ = 0;         // bytes as composed
  size_t escapes_ = 0;        // bytes that escaping writes twice or with a caret
  bool special_ = false;      // one of % ^ & | < >
  bool quoted_ = false;       // the interpreter reads the end so far within quotes
  bool parenthesis_ = false;  // a parenthesis outside quotes
};

// Whether Line holds any of % ^ & | < >, so that ScriptEscape changes it.
bool NeedsEscape(const std::string& Line);
// The same for the NUL-terminated text Line.
bool NeedsEscape(const char* Line);

// Appends to *rLine the text that stands for the program argument Arg (Length
// bytes) on a command line, so that tavoadd and tavoupdate, splitting their
// command line by the C runtime's rules, get back exactly Arg: an argument that
// holds a blank or a tab, or is empty, is enclosed in double quotes; every " in
// it is written \"; a run of backslashes is doubled where it stands right before
// a " (the closing one included) and left as it is elsewhere. So GroupName="GRP"
// is written GroupName=\"GRP\" and ResourceDescription="Order entry" as
// "ResourceDescription=\"Order entry\"". The line is then written as
// ScriptEscape makes it.
void AppendArgument(const char* Arg, size_t Length, std::string* rLine);
// The same for the NUL-terminated text Arg.
void AppendArgument(const char* Arg, std::string* rLine);

// Whether Text holds a byte from 1 to 31 (tab, carriage return and line feed
// among them) or 127. Such a text cannot be written to a command file. A null
// Text holds none.
bool HoldsControlCharacter(const char* Text);

// What a text holds that changes how it is written: the bits of TextKinds for
// the Length bytes at Text, found in one look at each byte.
enum TextKind : unsigned {
  kHoldsControl = 1u << 0,    // a byte that HoldsControlCharacter finds
  kHoldsBackslash = 1u << 1,  // a backslash
  kHoldsQuote = 1u << 2,      // a double quote
  kHoldsBlank = 1u << 3,      // a blank or a tab
  kHoldsSpecial = 1u << 4,    // one of % ^ & | < >, which ScriptEscape escapes
  kHoldsHigh = 1u << 5,       // a byte from 128 to 255, written as it is
};
unsigned TextKinds(const char* Text, size_t Length);

// Text with each of those bytes shown as '?', for the report; "" for null.
std::string ShowControlCharacters(const char* Text);
// The same in place.
void HideControlCharacters(std::string* Text);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_ESCAPE_H_
