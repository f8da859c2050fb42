#include "Support/HeadsetCommandLog.h"

#include "TestPaths.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace TalmexTest {

HeadsetCommandLog::HeadsetCommandLog()
{
    char path[] = "/tmp/talmex-scripted-XXXXXX";
    const int file = mkstemp(path);
    if (file != -1) {
        close(file);
        _path = path;
    }
}

HeadsetCommandLog::~HeadsetCommandLog()
{
    if (!_path.empty()) {
        unlink(_path.c_str());
    }
}

std::string HeadsetCommandLog::Text() const
{
    std::ifstream file(_path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool HeadsetCommandLog::EndsWith(const std::string& text) const
{
    for (int i = 0; i < 500; ++i) {
        const std::string log = Text();
        if (log.size() >= text.size() &&
            log.compare(log.size() - text.size(), text.size(), text) == 0) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

AgentProcess::Options ScriptedHeadsetAgent(const std::string& folder, const HeadsetCommandLog& log)
{
    AgentProcess::Options options;
    options.workingDirectory = std::string(TALMEX_TEST_PLUGIN_FOLDERS) + "/" + folder;
    options.environment = {{"TALMEX_SCRIPTED_LOG", log.Path()}};
    return options;
}

} // namespace TalmexTest
