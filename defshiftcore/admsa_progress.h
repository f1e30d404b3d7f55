// Progress of a long run: one line on standard error, rewritten in place, with
// the records read, the definitions translated and the definitions written. It
// is shown only while the report goes to a log file and standard error is a
// terminal, so that nothing of it reaches a file or a pipe, and it is erased
// before anything else is written to the console.
//
// Counting is cheap: the clock is looked at only every kCheckEvery counts.
#ifndef DEFSHIFTCORE_ADMSA_PROGRESS_H_
#define DEFSHIFTCORE_ADMSA_PROGRESS_H_

#include <cstdio>

namespace progress {

enum Counter { kRead = 0, kTranslated = 1, kWritten = 2, kCounters = 3 };

constexpr int kCheckEvery = 1024;

struct State {
  bool active = false;  // between Begin and End, when the line may be shown
  bool shown = false;   // a line is on the terminal now
  int countdown = kCheckEvery;
  long counts[kCounters] = {0, 0, 0};
  long long next_draw_ms = 0;  // the clock time at which the line may be redrawn
  int width = 0;               // characters of the line on the terminal
  FILE* out = nullptr;
};

extern State state;

// Starts counting from zero. The line is shown when report_to_file and terminal
// (whether out, standard error when null, is a terminal) are both true.
void Begin(bool report_to_file, bool terminal, FILE* out = nullptr);
// Redraws the line when it is due; called by Count.
void Check();
// Erases the line, if one is shown, so that other text can follow; counting
// goes on and the line comes back when it is next due.
void Erase();
// Erases the line and stops showing it.
void End();

// One more of counter c.
inline void Count(Counter c) {
  if (!state.active) return;
  ++state.counts[c];
  if (--state.countdown == 0) Check();
}

}  // namespace progress

#endif  // DEFSHIFTCORE_ADMSA_PROGRESS_H_
