#include "Support/Golden.h"

#include "TestPaths.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace TalmexTest {

std::string GoldenText(const std::string& name)
{
    std::ifstream file(std::string(TALMEX_GOLDEN_FOLDER) + "/" + name);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

Bytes GoldenBytes(const std::string& name)
{
    Bytes bytes;
    std::string digits;
    for (char c : GoldenText(name)) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        }
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<std::vector<std::string>> GoldenTable(const std::string& name)
{
    std::vector<std::vector<std::string>> table;
    std::istringstream lines(GoldenText(name));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string>& fields = table.emplace_back();
        size_t start = 0;
        for (size_t bar; (bar = line.find(" | ", start)) != std::string::npos; start = bar + 3) {
            fields.push_back(line.substr(start, bar - start));
        }
        fields.push_back(line.substr(start));
    }
    return table;
}

} // namespace TalmexTest
