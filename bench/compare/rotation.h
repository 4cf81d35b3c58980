// Timing in rotation: every contender of a group runs once per round, the first of the round
// moving on by one each time, so that drifts of the machine (other processes, clock changes,
// warm caches) fall on all contenders alike. Times are CPU seconds of this thread: the
// machine may be shared.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tvlcompare {

// One way of doing the same work; run returns a count that the caller checks or prints, so
// that the work cannot be left out by the compiler.
struct Contender {
    std::string name;
    std::function<uint64_t()> run;
};

inline double thread_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The contenders' counts end here, so that no run can be left out.
inline volatile uint64_t kept_counts = 0;

struct Timing {
    double seconds = NAN;  // median CPU seconds of one run
    uint64_t result = 0;   // what the first run returned
};

// Runs each contender once untimed (it warms up and gives the result), then `rounds` rounds;
// a contender faster than sample_seconds repeats inside its sample so that the clock's
// resolution does not matter. Returns the median time per run of each contender.
inline std::vector<Timing> time_rotating(const std::vector<Contender> &contenders, unsigned rounds,
                                         double sample_seconds) {
    const size_t n = contenders.size();
    std::vector<Timing> timings(n);
    std::vector<uint64_t> repeats(n, 1);
    for (size_t i = 0; i < n; ++i) {
        const double t0 = thread_seconds();
        timings[i].result = contenders[i].run();
        const double once = std::max(thread_seconds() - t0, 1e-9);
        repeats[i] =
            std::clamp<uint64_t>(static_cast<uint64_t>(sample_seconds / once), 1, 10000000);
    }
    std::vector<std::vector<double>> samples(n);
    uint64_t sink = 0;
    for (unsigned r = 0; r < rounds; ++r) {
        for (size_t k = 0; k < n; ++k) {
            const size_t i = (k + r) % n;
            const double t0 = thread_seconds();
            for (uint64_t j = 0; j < repeats[i]; ++j) sink += contenders[i].run();
            samples[i].push_back((thread_seconds() - t0) / static_cast<double>(repeats[i]));
        }
    }
    for (size_t i = 0; i < n; ++i) {
        std::vector<double> &s = samples[i];
        if (s.empty()) continue;
        std::nth_element(s.begin(), s.begin() + static_cast<ptrdiff_t>(s.size() / 2), s.end());
        timings[i].seconds = s[s.size() / 2];
    }
    kept_counts = sink;
    return timings;
}

}  // namespace tvlcompare
