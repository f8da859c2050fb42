#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace TalmexBench {

// The figures of one measurement program, each with the runs it is the
// median of, printed as one JSON object that the bench's table reads:
//   {"figures": {"name": {"median": 1.5, "unit": "ms", "runs": [1.4, 1.5, 1.7]}}}
// A figure without runs has a null median.
class Figures {
public:
    void Add(const std::string& name, const std::string& unit, std::vector<double> runs);
    void Print(std::FILE* out) const;

private:
    struct Figure {
        std::string name;
        std::string unit;
        std::vector<double> runs;
    };
    std::vector<Figure> _figures;
};

} // namespace TalmexBench
