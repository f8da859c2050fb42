#include "MonitorProcess.h"
#include "TestPaths.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

#include <gtest/gtest.h>

namespace {

using namespace MonitorTest;
namespace fs = std::filesystem;

constexpr char kBundlePath[] = "OculusPlugin.bundle/Contents/MacOS/OculusPlugin";

std::string _RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

// What the loader says of the file, as the agent would be told.
std::string _LoaderError(const std::string& path)
{
    void* library = dlopen(path.c_str(), RTLD_LOCAL | RTLD_NOW);
    if (library != nullptr) {
        dlclose(library);
        return "it loaded";
    }
    return dlerror();
}

struct CheckCase {
    const char* name;
    int exitStatus;
    // Prepares the scratch folder; gives the folder to run in and the agent to name.
    std::pair<std::string, std::string> (*prepare)(const std::string& scratch);
    // The headset to name, if any.
    const char* headset;
    // What the output must say, given the scratch folder.
    std::string (*expected)(const std::string& scratch);
};

const CheckCase kCases[] = {
    // A plug-in in the monitor's own directory is not where the agent starts.
    {"SimulatedHeadsetBesideAgent", 0,
     [](const std::string&) {
         return std::make_pair(std::string(TALMEX_TEST_PLUGIN_FOLDERS) + "/scripted",
                               std::string(TALMEX_AGENT_PATH));
     },
     nullptr,
     [](const std::string&) {
         return "plug-in: " + _RealPath(TALMEX_SIMULATED_HEADSET) +
                "\nentry points: all 32 present\n";
     }},
    {"FileThatIsNotALibrary", 1,
     [](const std::string& scratch) {
         const fs::path library = fs::path(scratch) / "bin" / kBundlePath;
         fs::create_directories(library.parent_path());
         std::ofstream(library) << "not a library\n";
         fs::copy_file(TALMEX_AGENT_PATH, fs::path(scratch) / "bin" / "talmex-agent");
         return std::make_pair(scratch, scratch + "/bin/talmex-agent");
     },
     nullptr,
     [](const std::string& scratch) {
         return "not loaded: " + _LoaderError(scratch + "/bin/" + kBundlePath) +
                "\nno plug-in: the agent would serve without one";
     }},
    {"PluginLackingAnEntryPoint", 3,
     [](const std::string& scratch) {
         return std::make_pair(scratch, std::string(TALMEX_AGENT_PATH));
     },
     "scripted-without-magnetometer",
     [](const std::string&) {
         return std::string("entry points: 1 of 32 missing: OVR_GetMagnetometer\n");
     }},
    {"WhatAHeadsetPrintsWhileLoading", 0,
     [](const std::string& scratch) {
         return std::make_pair(scratch, std::string(TALMEX_AGENT_PATH));
     },
     "scripted",
     [](const std::string&) {
         return "the plug-in printed while loading 1 line:\n  check: loaded\nplug-in: " +
                _RealPath(std::string(TALMEX_TEST_PLUGIN_FOLDERS) + "/scripted/" + kBundlePath);
     }},
    {"HeadsetThereIsNot", 2,
     [](const std::string& scratch) {
         return std::make_pair(scratch, std::string(TALMEX_AGENT_PATH));
     },
     "../scripted",
     [](const std::string&) { return std::string("; the headsets are: simulated, "); }},
#ifdef TALMEX_OPENHMD_HEADSET
    {"OpenHmdHeadsetDescribesItsProbe", 0,
     [](const std::string& scratch) {
         return std::make_pair(scratch, std::string(TALMEX_AGENT_PATH));
     },
     "openhmd",
     [](const std::string&) { return std::string("the plug-in says:\nOpenHMD 0.3.0 probe: "); }},
    {"OpenHmdLibraryMissing", 1,
     [](const std::string& scratch) {
         // The plug-in as it loads where OpenHMD's library is not installed.
         std::ifstream in(TALMEX_OPENHMD_HEADSET, std::ios::binary);
         std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
         const std::string needed("libopenhmd.so.0\0", 16);
         for (size_t at = bytes.find(needed); at != std::string::npos; at = bytes.find(needed)) {
             bytes[at + 9] = 'X';
         }
         const fs::path library = fs::path(scratch) / "bin" / kBundlePath;
         fs::create_directories(library.parent_path());
         std::ofstream(library, std::ios::binary) << bytes;
         fs::copy_file(TALMEX_AGENT_PATH, fs::path(scratch) / "bin" / "talmex-agent");
         return std::make_pair(scratch, scratch + "/bin/talmex-agent");
     },
     nullptr,
     [](const std::string& scratch) {
         return "not loaded: " + _LoaderError(scratch + "/bin/" + kBundlePath);
     }},
#endif
};

void PrintTo(const CheckCase& check, std::ostream* out)
{
    *out << check.name;
}

class CheckTest : public testing::TestWithParam<CheckCase> {};

TEST_P(CheckTest, SaysWhatTheAgentWouldLoad)
{
    const CheckCase& check = GetParam();
    TemporaryFolder scratch;
    ASSERT_FALSE(scratch.Path().empty());
    const auto [folder, agent] = check.prepare(scratch.Path());

    MonitorRun run;
    run.arguments = {"--check", "--agent", agent};
    if (check.headset != nullptr) {
        run.arguments.insert(run.arguments.end(), {"--headset", check.headset});
    }
    run.folder = folder;
    run.environment = {"TALMEX_SCRIPTED_SAY=check:"};
    const MonitorResult result = RunMonitor(run);

    ASSERT_TRUE(WIFEXITED(result.waitStatus)) << result.output;
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), check.exitStatus) << result.output;
    EXPECT_NE(result.output.find(check.expected(scratch.Path())), std::string::npos)
        << "expected:\n"
        << check.expected(scratch.Path()) << "\nin:\n"
        << result.output;
}

INSTANTIATE_TEST_SUITE_P(Plugins, CheckTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CheckCase>& info) {
                             return info.param.name;
                         });

} // namespace
