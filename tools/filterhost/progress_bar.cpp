// The terminal progress bar; see progress_bar.h.
#include "tools/filterhost/progress_bar.h"

#include <algorithm>

namespace {
constexpr int kBarWidth = 40;
}

void ProgressBar::Update(int32_t done, int32_t total) {
    if (total < 1) return;
    int64_t clamped = std::clamp<int64_t>(done, 0, total);
    int percent = int(clamped * 100 / total);
    if (percent == percent_) return;
    percent_ = percent;
    if (!enabled_) return;
    char bar[kBarWidth + 1];
    int filled = percent * kBarWidth / 100;
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = 0;
    std::fprintf(out_, "\rfilterhost: [%s] %3d%%", bar, percent);
    std::fflush(out_);
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) {
        std::fprintf(out_, "\r%*s\r", kBarWidth + 20, "");
        std::fflush(out_);
        drawn_ = false;
    }
}
