#include "Support/ScriptedHeadset.h"

#include "Agent/Device.h"
#include "TestPaths.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace TalmexTest {

namespace {
constexpr char kLibraryPath[] = "OculusPlugin.bundle/Contents/MacOS/OculusPlugin";
}

ScriptedHeadset::ScriptedHeadset(const std::string& folder)
{
    char directory[PATH_MAX];
    if (getcwd(directory, sizeof directory) != nullptr) {
        _previousDirectory = directory;
    }
    const std::string path = std::string(TALMEX_TEST_PLUGIN_FOLDERS) + "/" + folder;
    if (chdir(path.c_str()) != 0) {
        return;
    }
    Talmex::Singleton<Talmex::Agent::Device>::_instance.Initialize();
    // The same library the device bound, not a second copy; held until the
    // end, so that its log outlives the device's binding.
    _handle = dlopen(kLibraryPath, RTLD_NOW | RTLD_NOLOAD);
    if (_handle == nullptr) {
        return;
    }
    _reset = reinterpret_cast<ScriptedResetFunction>(dlsym(_handle, "Scripted_Reset"));
    _setAnswer = reinterpret_cast<ScriptedSetAnswerFunction>(dlsym(_handle, "Scripted_SetAnswer"));
    _log = reinterpret_cast<HeadsetCommandLogFunction>(dlsym(_handle, "Scripted_Log"));
    _reset();
}

ScriptedHeadset::~ScriptedHeadset()
{
    Talmex::Agent::Device& device = Talmex::Singleton<Talmex::Agent::Device>::_instance;
    device.UnlockDevice();
    device.Finalize();
    if (_handle != nullptr) {
        dlclose(_handle);
    }
    if (!_previousDirectory.empty()) {
        static_cast<void>(chdir(_previousDirectory.c_str()) == 0);
    }
}

void ScriptedHeadset::SetAnswer(const char* entryPoint, int result, int written,
                                std::initializer_list<double> values)
{
    double padded[4] = {};
    int k = 0;
    for (double value : values) {
        if (k < 4) {
            padded[k++] = value;
        }
    }
    _setAnswer(entryPoint, result, written, padded);
}

std::string ScriptedHeadset::Log() const
{
    return std::string(_log()).substr(_logStart);
}

void ScriptedHeadset::ClearLog()
{
    _logStart = std::string(_log()).size();
}

void ScriptedHeadset::Reset()
{
    _reset();
    _logStart = 0;
}

} // namespace TalmexTest
