// A progress bar on stderr for the module's progressProc: one line redrawn in place, only when
// stderr is a terminal (or when forced), so that logs and captured output stay clean.
#pragma once

#include <cstdint>
#include <cstdio>

class ProgressBar {
   public:
    // enabled: draw at all; out: where (stderr by default).
    explicit ProgressBar(bool enabled, FILE* out = stderr) : enabled_(enabled), out_(out) {}
    ~ProgressBar() { Finish(); }

    // done of total; redraws only when the shown percentage changes. Out-of-range values are
    // clamped; a total below 1 is ignored.
    void Update(int32_t done, int32_t total);
    // Clears the bar's line if one was drawn.
    void Finish();

    int Percent() const { return percent_; }

   private:
    bool enabled_;
    FILE* out_;
    int percent_ = -1;
    bool drawn_ = false;
};
