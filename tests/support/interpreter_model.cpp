#include "support/interpreter_model.h"

bool Interpret(const std::string& line, std::string* handed, std::string* why) {
  handed->clear();
  why->clear();
  if (line.find_first_of("\r\n") != std::string::npos) {
    *why = "a line break starts another command";
    return false;
  }
  // Percent expansion comes first and sees the whole line, quotes and carets
  // included.
  std::string expanded;
  expanded.reserve(line.size());
  handed->reserve(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '%') {
      expanded += line[i];
    } else if (i + 1 < line.size() && line[i + 1] == '%') {
      expanded += '%';
      ++i;
    } else {
      *why = "% at " + std::to_string(i) + " is expanded";
      return false;
    }
  }
  bool quoted = false;
  for (size_t i = 0; i < expanded.size(); ++i) {
    const char c = expanded[i];
    if (quoted) {
      if (c == '"') quoted = false;
      *handed += c;
      continue;
    }
    switch (c) {
      case '"':
        quoted = true;
        *handed += c;
        break;
      case '^':
        if (i + 1 == expanded.size()) {
          *why = "a final ^ joins the next line";
          return false;
        }
        *handed += expanded[++i];
        break;
      case '&':
      case '|':
      case '<':
      case '>':
        *why = std::string(1, c) + " at " + std::to_string(i) + " is read by the interpreter";
        return false;
      default:
        *handed += c;
        break;
    }
  }
  return true;
}
