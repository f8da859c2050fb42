#include "ReportLines.h"

#include <cstdlib>
#include <sstream>

namespace MonitorTest {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

unsigned long SequenceOf(const std::string& json)
{
    const std::string key = "\"sequence\":";
    const size_t at = json.find(key);
    return at == std::string::npos ? 0 : std::stoul(json.substr(at + key.size()));
}

std::optional<std::vector<float>> OrientationOf(const std::string& json)
{
    // Sensor 0 comes first; "predicted_orientation" does not match the quote.
    const std::string key = "\"orientation\":[";
    const size_t at = json.find(key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::vector<float> values;
    const char* text = json.c_str() + at + key.size();
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        values.push_back(std::strtof(text, &end));
        if (end == text || (*end != ',' && *end != ']')) {
            return std::nullopt;
        }
        text = end + 1;
    }
    return values;
}

} // namespace MonitorTest
