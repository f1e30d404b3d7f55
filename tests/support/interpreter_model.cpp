#include "support/interpreter_model.h"

bool Interpret(const std::string& line, std::string* handed, std::string* why) {
  handed->clear();
  why->clear();
  if (line.find_first_of("\r\n") != std::string::npos) {
    *why = "a line break starts another command";
    return false;
  }
  // Percent expansion comes first and sees the whole line, quotes and carets
  // included. The stretches between the characters that matter are copied
  // whole: the fuzzer reads every line of several files an input through here.
  static std::string expanded;
  expanded.clear();
  size_t from = 0;
  for (size_t i = line.find('%'); i != std::string::npos; i = line.find('%', from)) {
    expanded.append(line, from, i - from);
    if (i + 1 < line.size() && line[i + 1] == '%') {
      expanded += '%';
      from = i + 2;
    } else {
      *why = "% at " + std::to_string(i) + " is expanded";
      return false;
    }
  }
  expanded.append(line, from, std::string::npos);
  handed->reserve(expanded.size());
  const size_t n = expanded.size();
  size_t i = 0;
  while (i < n) {
    // Within quotes every character is plain, up to the closing quote.
    const size_t j = expanded.find_first_of("\"^&|<>", i);
    handed->append(expanded, i, j == std::string::npos ? std::string::npos : j - i);
    if (j == std::string::npos) break;
    const char c = expanded[j];
    if (c == '"') {
      const size_t close = expanded.find('"', j + 1);
      handed->append(expanded, j, close == std::string::npos ? std::string::npos : close + 1 - j);
      if (close == std::string::npos) break;
      i = close + 1;
    } else if (c == '^') {
      if (j + 1 == n) {
        *why = "a final ^ joins the next line";
        return false;
      }
      *handed += expanded[j + 1];
      i = j + 2;
    } else {
      *why = std::string(1, c) + " at " + std::to_string(j) + " is read by the interpreter";
      return false;
    }
  }
  return true;
}
