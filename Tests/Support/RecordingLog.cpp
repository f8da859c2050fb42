#include "Support/RecordingLog.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace TalmexTest {

RecordingLog::RecordingLog()
{
    char path[] = "/tmp/talmex-recording-XXXXXX";
    const int file = mkstemp(path);
    if (file != -1) {
        close(file);
        _path = path;
    }
}

RecordingLog::~RecordingLog()
{
    if (!_path.empty()) {
        unlink(_path.c_str());
    }
}

std::string RecordingLog::Text() const
{
    std::ifstream file(_path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool RecordingLog::EndsWith(const std::string& text) const
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

AgentProcess::Options RecordingAgent(const std::string& folder, const RecordingLog& log)
{
    AgentProcess::Options options;
    options.workingDirectory = std::string(TALMEX_TEST_PLUGIN_FOLDERS) + "/" + folder;
    options.environment = {{"TALMEX_RECORDING_LOG", log.Path()}};
    return options;
}

} // namespace TalmexTest
