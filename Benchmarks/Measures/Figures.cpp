#include "Figures.h"

#include "Statistics.h"

#include <cmath>

namespace TalmexBench {

namespace {

// JSON has no infinities or NaN: such a run is left out as if not measured.
std::vector<double> _Finite(const std::vector<double>& runs)
{
    std::vector<double> finite;
    for (double run : runs) {
        if (std::isfinite(run)) {
            finite.push_back(run);
        }
    }
    return finite;
}

} // namespace

void Figures::Add(const std::string& name, const std::string& unit, std::vector<double> runs)
{
    _figures.push_back({name, unit, _Finite(runs)});
}

void Figures::Print(std::FILE* out) const
{
    std::fprintf(out, "{\"figures\": {");
    const char* separator = "";
    for (const Figure& figure : _figures) {
        std::fprintf(out, "%s\n  \"%s\": {\"median\": ", separator, figure.name.c_str());
        if (figure.runs.empty()) {
            std::fprintf(out, "null");
        } else {
            std::fprintf(out, "%.9g", Median(figure.runs));
        }
        std::fprintf(out, ", \"unit\": \"%s\", \"runs\": [", figure.unit.c_str());
        for (size_t i = 0; i < figure.runs.size(); ++i) {
            std::fprintf(out, "%s%.9g", i == 0 ? "" : ", ", figure.runs[i]);
        }
        std::fprintf(out, "]}");
        separator = ",";
    }
    std::fprintf(out, "\n}}\n");
}

} // namespace TalmexBench
