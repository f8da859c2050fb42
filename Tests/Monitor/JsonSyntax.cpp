#include "JsonSyntax.h"

#include <cctype>
#include <cstring>

namespace MonitorTest {

namespace {

// A recursive-descent reader of the JSON grammar that only says yes or no.
class JsonReader {
public:
    explicit JsonReader(const std::string& text) : _text(text) {}

    bool IsObjectAlone()
    {
        _SkipSpace();
        if (!_Peek('{') || !_Value()) {
            return false;
        }
        _SkipSpace();
        return _position == _text.size();
    }

private:
    bool _Value()
    {
        _SkipSpace();
        if (_position >= _text.size()) {
            return false;
        }
        switch (_text[_position]) {
        case '{':
            return _Sequence('}', true);
        case '[':
            return _Sequence(']', false);
        case '"':
            return _String();
        case 't':
            return _Word("true");
        case 'f':
            return _Word("false");
        case 'n':
            return _Word("null");
        default:
            return _Number();
        }
    }

    // The members of an object or the elements of an array.
    bool _Sequence(char close, bool isObject)
    {
        ++_position;
        _SkipSpace();
        if (_Take(close)) {
            return true;
        }
        do {
            if (isObject) {
                _SkipSpace();
                if (!_Peek('"') || !_String()) {
                    return false;
                }
                _SkipSpace();
                if (!_Take(':')) {
                    return false;
                }
            }
            if (!_Value()) {
                return false;
            }
            _SkipSpace();
        } while (_Take(','));
        return _Take(close);
    }

    bool _String()
    {
        ++_position;
        while (_position < _text.size()) {
            const unsigned char c = static_cast<unsigned char>(_text[_position++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                if (_position >= _text.size() || !std::strchr("\"\\/bfnrtu", _text[_position])) {
                    return false;
                }
                ++_position;
            }
        }
        return false;
    }

    bool _Number()
    {
        _Take('-');
        if (!_Take('0') && !_Digits()) {
            return false;
        }
        if (_Take('.') && !_Digits()) {
            return false;
        }
        if (_Take('e') || _Take('E')) {
            if (!_Take('+')) {
                _Take('-');
            }
            return _Digits();
        }
        return true;
    }

    bool _Digits()
    {
        const size_t start = _position;
        while (_position < _text.size() &&
               std::isdigit(static_cast<unsigned char>(_text[_position]))) {
            ++_position;
        }
        return _position > start;
    }

    bool _Word(const char* word)
    {
        const size_t length = std::strlen(word);
        if (_text.compare(_position, length, word) != 0) {
            return false;
        }
        _position += length;
        return true;
    }

    void _SkipSpace()
    {
        while (_Peek(' ') || _Peek('\t') || _Peek('\r') || _Peek('\n')) {
            ++_position;
        }
    }

    bool _Peek(char c) const { return _position < _text.size() && _text[_position] == c; }

    bool _Take(char c)
    {
        if (!_Peek(c)) {
            return false;
        }
        ++_position;
        return true;
    }

    const std::string& _text;
    size_t _position = 0;
};

} // namespace

bool IsJsonObject(const std::string& text)
{
    return JsonReader(text).IsObjectAlone();
}

} // namespace MonitorTest
