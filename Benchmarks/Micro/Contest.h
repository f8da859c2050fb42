#pragma once

#include "Statistics.h"

#include <chrono>
#include <functional>
#include <vector>

namespace TalmexBench {

// Several ways of doing the same work, timed in turn within each iteration
// of a benchmark, each iteration starting with the next one: the shared
// machine's noise swamps separate benchmarks, and taking turns makes its
// drift fall on every contender alike. Each one's figure is the median of
// its runs. Every contender runs once untimed first: a first run pays for
// growing its output and faulting its pages in, which a benchmark of few
// iterations would otherwise count.
class Contest {
public:
    explicit Contest(std::vector<std::function<void()>> contenders)
        : _contenders(std::move(contenders)), _seconds(_contenders.size())
    {
        for (const std::function<void()>& contender : _contenders) {
            contender();
        }
    }

    // Runs every contender once.
    void Run()
    {
        using Clock = std::chrono::steady_clock;
        for (size_t turn = 0; turn < _contenders.size(); ++turn) {
            const size_t which = (_first + turn) % _contenders.size();
            const Clock::time_point start = Clock::now();
            _contenders[which]();
            _seconds[which].push_back(std::chrono::duration<double>(Clock::now() - start).count());
        }
        _first = (_first + 1) % _contenders.size();
    }

    double MedianSeconds(size_t contender) const { return Median(_seconds[contender]); }

private:
    std::vector<std::function<void()>> _contenders;
    std::vector<std::vector<double>> _seconds;
    size_t _first = 0;
};

} // namespace TalmexBench
