#pragma once

#include "Support/AgentProcess.h"

#include <string>

namespace TalmexTest {

// The command log of a scripted test plug-in loaded by an agent process: a
// file of the test's own, removed with the object.
class HeadsetCommandLog {
public:
    HeadsetCommandLog();
    ~HeadsetCommandLog();

    HeadsetCommandLog(const HeadsetCommandLog&) = delete;
    HeadsetCommandLog& operator=(const HeadsetCommandLog&) = delete;

    // Empty when no file could be made.
    const std::string& Path() const { return _path; }
    std::string Text() const;
    // Waits, for at most about five seconds, until the log ends with text.
    bool EndsWith(const std::string& text) const;

private:
    std::string _path;
};

// Options that start the agent in the folder of a scripted plug-in
// ("scripted", "scripted-few-entry-points", ...), logging its commands.
AgentProcess::Options ScriptedHeadsetAgent(const std::string& folder, const HeadsetCommandLog& log);

} // namespace TalmexTest
