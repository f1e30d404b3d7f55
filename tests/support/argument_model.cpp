#include "support/argument_model.h"

bool SplitArguments(const std::string& line, std::vector<std::string>* args, std::string* why) {
  size_t count = 0;
  const bool split = SplitArguments(line, args, &count, why);
  args->resize(count);
  return split;
}

bool SplitArguments(const std::string& line, std::vector<std::string>* args, size_t* rCount,
                    std::string* why) {
  why->clear();
  size_t& count = *rCount;
  count = 0;
  size_t i = 0;
  const size_t n = line.size();
  const char* const s = line.data();
  while (true) {
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i == n) return true;
    if (count == args->size()) args->emplace_back();
    std::string& arg = (*args)[count++];
    arg.clear();
    bool quoted = false;
    while (i < n && (quoted || (s[i] != ' ' && s[i] != '\t'))) {
      size_t backslashes = 0;
      while (i < n && s[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < n && s[i] == '"') {
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          arg += '"';
        } else if (quoted && i + 1 < n && s[i + 1] == '"') {
          --count;
          *why = "\"\" inside quotes at " + std::to_string(i);
          return false;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(backslashes, '\\');
        // Up to the next backslash, quote or separator, the characters stand for
        // themselves.
        const size_t from = i;
        while (i < n && s[i] != '\\' && s[i] != '"' && (quoted || (s[i] != ' ' && s[i] != '\t'))) {
          ++i;
        }
        arg.append(s + from, i - from);
      }
    }
  }
}
