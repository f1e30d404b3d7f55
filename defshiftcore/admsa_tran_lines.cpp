#include "admsa_tran_lines.h"

#include "admsa_tran_escape.h"

const std::string& ScriptLines::Escaped(std::string* rScratch) const {
  // Most definitions hold none of the characters that need escaping: one look
  // at the whole text settles them, and only the others are taken line by line.
  if (!NeedsEscape(text_)) return text_;
  rScratch->clear();
  size_t start = 0;
  for (const size_t end : ends_) {
    AppendScriptEscaped(text_.data() + start, end - 1 - start, rScratch);
    rScratch->push_back('\n');
    start = end;
  }
  return *rScratch;
}
