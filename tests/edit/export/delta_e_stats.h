// Summary of colour differences for the export tests: mean, 99th percentile and largest.
#pragma once

#include <algorithm>
#include <ostream>
#include <vector>

namespace export_testing {

struct DeltaEStats {
    double mean = 0, p99 = 0, max = 0;
};

inline DeltaEStats Summarise(std::vector<double> e) {
    DeltaEStats s;
    if (e.empty()) return s;
    std::sort(e.begin(), e.end());
    for (double v : e) s.mean += v;
    s.mean /= double(e.size());
    s.p99 = e[e.size() * 99 / 100];
    s.max = e.back();
    return s;
}

inline std::ostream& operator<<(std::ostream& o, const DeltaEStats& s) {
    return o << "dE00 mean " << s.mean << ", 99th percentile " << s.p99 << ", max " << s.max;
}

}  // namespace export_testing
