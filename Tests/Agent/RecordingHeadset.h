#pragma once

#include "RecordingHeadset/RecordingHeadsetControl.h"

#include <initializer_list>
#include <string>

namespace TalmexTest {

// Binds the agent's device to a recording test plug-in for the life of the
// object, by making the plug-in's folder the current directory, and gives
// access to the plug-in's script and call log.
class RecordingHeadset {
public:
    explicit RecordingHeadset(const std::string& folder = "recording");
    ~RecordingHeadset();

    RecordingHeadset(const RecordingHeadset&) = delete;
    RecordingHeadset& operator=(const RecordingHeadset&) = delete;

    bool IsBound() const { return _reset != nullptr; }
    void SetAnswer(const char* entryPoint, int result, int written,
                   std::initializer_list<double> values = {});
    std::string Log() const;
    // Forgets the calls so far; the script stays.
    void ClearLog();
    // Back to the default script with an empty log.
    void Reset();

private:
    std::string _previousDirectory;
    void* _handle = nullptr;
    size_t _logStart = 0;
    RecordingResetFunction _reset = nullptr;
    RecordingSetAnswerFunction _setAnswer = nullptr;
    RecordingLogFunction _log = nullptr;
};

} // namespace TalmexTest
