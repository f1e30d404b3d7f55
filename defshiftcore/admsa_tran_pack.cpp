#include "admsa_tran_pack.h"

LineMeasure::LineMeasure(const std::string* Suffix)
    : suffix_(Suffix != nullptr ? Suffix->size() : 0),
      joined_(Suffix != nullptr),
      plain_(0),
      escapes_(0),
      special_(false),
      quoted_(false),
      parenthesis_(false) {}

void LineMeasure::Append(const char* Text, size_t Length) {
  plain_ += Length;
  for (size_t i = 0; i < Length; ++i) {
    switch (Text[i]) {
      case '%':
      case '^':
      case '&':
      case '|':
      case '<':
      case '>':
        special_ = true;
        ++escapes_;
        break;
      case '(':
      case ')':
        if (!quoted_) parenthesis_ = true;
        ++escapes_;
        break;
      case '"':
        quoted_ = !quoted_;
        ++escapes_;
        break;
      default:
        break;
    }
  }
}

size_t LineMeasure::Written() const {
  const bool escaped = special_ || (joined_ && (quoted_ || parenthesis_));
  return (escaped ? plain_ + escapes_ : plain_) + suffix_;
}

int PackArguments(const std::string& Head, const char* Arguments, const size_t* Lengths, int Count,
                  const std::string* Suffix) {
  LineMeasure line(Suffix);
  line.Append(Head.data(), Head.size());
  int taken = 0;
  for (const char* argument = Arguments; taken < Count; argument += Lengths[taken++]) {
    LineMeasure longer = line;
    longer.Append(argument, Lengths[taken]);
    if (taken > 0 && longer.Written() > kPackedLineLimit) break;
    line = longer;
  }
  return taken;
}
