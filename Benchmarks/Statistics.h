#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace TalmexBench {

// The value below which the given share of the values lie, interpolated
// between the two nearest ranks: 0.5 gives the median, 1 the largest value.
// 0 for no values.
inline double Percentile(std::vector<double> values, double share)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const double position = share * static_cast<double>(values.size() - 1);
    const size_t below = static_cast<size_t>(position);
    const size_t above = std::min(below + 1, values.size() - 1);
    const double weight = position - static_cast<double>(below);
    return values[below] + (values[above] - values[below]) * weight;
}

inline double Median(std::vector<double> values)
{
    return Percentile(std::move(values), 0.5);
}

// The least-squares slope of value over time; NaN until two times differ.
class Slope {
public:
    void Add(double time, double value)
    {
        ++_count;
        _time += time;
        _value += value;
        _timeTime += time * time;
        _timeValue += time * value;
    }

    double Value() const
    {
        const double spread = _count * _timeTime - _time * _time;
        return spread > 0 ? (_count * _timeValue - _time * _value) / spread : NAN;
    }

private:
    double _count = 0, _time = 0, _value = 0, _timeTime = 0, _timeValue = 0;
};

} // namespace TalmexBench
