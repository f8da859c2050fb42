#pragma once

#include <cctype>
#include <string>

// True if text is as long as shape and has, place by place, a decimal digit
// where shape has '9', an upper-case hexadecimal digit where it has 'X', and
// shape's own character everywhere else.
inline bool MatchesShape(const std::string& text, const std::string& shape)
{
    if (text.size() != shape.size()) {
        return false;
    }
    for (size_t i = 0; i < shape.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool isMatch = shape[i] == '9'   ? std::isdigit(c) != 0
                             : shape[i] == 'X' ? std::isdigit(c) != 0 || (c >= 'A' && c <= 'F')
                                               : text[i] == shape[i];
        if (!isMatch) {
            return false;
        }
    }
    return true;
}
