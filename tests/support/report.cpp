#include "support/report.h"

#include <cstdio>
#include <regex>

#include "defshiftcore.h"

namespace {

const std::string kDashes80(80, '-');

}  // namespace

std::string ProgramBanner() {
  const std::string dashes(62, '-');
  return "\n" + dashes + "\n" + NewTAVOName2 + "\n" + Copyright + "\n" + Title + " utility for " +
         OldTAVOName2 + "\n" + dashes + "\n";
}

std::string ReportBanner() {
  return kDashes80 + "\n" + Title + " report started: <time>\n" + Copyright + "\n" + kDashes80 +
         "\n";
}

std::string ReportFooter() { return kDashes80 + "\n" + Title + " report ended: <time>\n\n\n"; }

std::string MaskLocalTimes(const std::string& text) {
  static const std::regex kLocalTime(
      "(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[ 0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}");
  return std::regex_replace(text, kLocalTime, "<time>");
}

std::string WithoutClientLine(const std::string& text) {
  static const std::string kClientLine = "File Manager client: ";
  size_t start = text.rfind(kClientLine, 0) == 0 ? 0 : text.find("\n" + kClientLine);
  if (start == std::string::npos) return text;
  if (start != 0) ++start;
  const size_t end = text.find('\n', start);
  std::string rest = text;
  rest.erase(start, end == std::string::npos ? std::string::npos : end + 1 - start);
  return rest;
}

std::string NullPointerText() {
  char text[32];
  std::snprintf(text, sizeof text, "%p", static_cast<void*>(nullptr));
  return text;
}
