#include "admsa_progress.h"

#include <chrono>
#include <cstring>

namespace progress {

State state;

namespace {

constexpr long long kFirstDrawMs = 500;  // a short run shows nothing
constexpr long long kRedrawMs = 250;

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Draw() {
  char line[160];
  const int n =
      std::snprintf(line, sizeof line,
                    "defshift: %ld records read, %ld definitions translated, %ld "
                    "written",
                    state.counts[kRead], state.counts[kTranslated], state.counts[kWritten]);
  if (n <= 0) return;
  const int len = n < static_cast<int>(sizeof line) ? n : static_cast<int>(sizeof line) - 1;
  // A shorter line than the one before leaves none of it behind.
  const int pad = state.width > len ? state.width - len : 0;
  std::fprintf(state.out, "\r%s%*s", line, pad, "");
  std::fflush(state.out);
  state.width = len;
  state.shown = true;
}

}  // namespace

void Begin(bool report_to_file, bool terminal, FILE* out) {
  state = State{};
  state.out = out != nullptr ? out : stderr;
  state.active = report_to_file && terminal;
  state.next_draw_ms = NowMs() + kFirstDrawMs;
}

void Check() {
  state.countdown = kCheckEvery;
  if (!state.active) return;
  const long long now = NowMs();
  if (now < state.next_draw_ms) return;
  state.next_draw_ms = now + kRedrawMs;
  Draw();
}

void Erase() {
  if (!state.shown) return;
  std::fprintf(state.out, "\r%*s\r", state.width, "");
  std::fflush(state.out);
  state.shown = false;
  state.width = 0;
}

void End() {
  Erase();
  state.active = false;
}

}  // namespace progress
