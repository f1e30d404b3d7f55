// The fixed texts around the report and the program's own output, for tests that
// compare whole outputs, and the masking of what changes from run to run.
#ifndef TESTS_SUPPORT_REPORT_H_
#define TESTS_SUPPORT_REPORT_H_

#include <string>

// What defshift prints on standard output before anything else.
std::string ProgramBanner();
// The lines that open and close a report, with the local time as "<time>".
std::string ReportBanner();
std::string ReportFooter();

// text with every local time of day in its 24-character calendar form
// ("Mon Dec  7 04:55:27 2026") replaced by "<time>".
std::string MaskLocalTimes(const std::string& text);

// text without the report's line on the File Manager client library (the first
// line that begins "File Manager client: "), which names paths of the machine
// that runs it, as the golden report leaves it out.
std::string WithoutClientLine(const std::string& text);

// How a message shows a null pointer ("%p" of null).
std::string NullPointerText();

#endif  // TESTS_SUPPORT_REPORT_H_
