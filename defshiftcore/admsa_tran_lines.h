// The lines of one definition as they are composed, before the command file's
// escapes: one text for one write, with where each line ends and which lines
// are tavoadd or tavoupdate commands.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_LINES_H_
#define DEFSHIFTCORE_ADMSA_TRAN_LINES_H_

#include <cstddef>
#include <string>
#include <vector>

class ScriptLines {
 public:
  ScriptLines() { text_.reserve(kUsualScript); }

  // Starts a line: what is appended to the text returned, until End or
  // EndCommand, is the line.
  std::string* Begin() { return &text_; }
  void End() {
    text_.push_back('\n');
    ends_.push_back(text_.size());
  }
  // Ends a tavoadd or tavoupdate line.
  void EndCommand() {
    End();
    commands_.push_back(ends_.size() - 1);
  }
  void Add(const char* Line) {
    Begin()->append(Line);
    End();
  }
  // Drops the lines; the storage stays for the next definition.
  void Clear() {
    text_.clear();
    ends_.clear();
    commands_.clear();
  }

  // The lines, each ended by its newline.
  const std::string& text() const { return text_; }
  // Where each line ends in text(), its newline included.
  const std::vector<size_t>& ends() const { return ends_; }
  // The numbers of the command lines, from 0, in order.
  const std::vector<size_t>& commands() const { return commands_; }

  // The lines as the command file holds them, each escaped as AppendScriptEscaped
  // escapes it: text() itself when no line needs it, else *rScratch made so.
  const std::string& Escaped(std::string* rScratch) const;

 private:
  // Room for the remarks and commands of a usual definition.
  static constexpr size_t kUsualScript = 1024;

  std::string text_;
  std::vector<size_t> ends_;
  std::vector<size_t> commands_;
};

#endif  // DEFSHIFTCORE_ADMSA_TRAN_LINES_H_
