#pragma once

#include "Plugins/ScriptedHeadset/ScriptedHeadsetControl.h"

#include <initializer_list>
#include <string>

namespace TalmexTest {

// Binds the agent's device to a scripted test plug-in for the life of the
// object, by making the plug-in's folder the current directory, and gives
// access to the plug-in's script and call log.
class ScriptedHeadset {
public:
    explicit ScriptedHeadset(const std::string& folder = "scripted");
    ~ScriptedHeadset();

    ScriptedHeadset(const ScriptedHeadset&) = delete;
    ScriptedHeadset& operator=(const ScriptedHeadset&) = delete;

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
    ScriptedResetFunction _reset = nullptr;
    ScriptedSetAnswerFunction _setAnswer = nullptr;
    HeadsetCommandLogFunction _log = nullptr;
};

} // namespace TalmexTest
