# Where the tests, benchmarks and fuzzers find this tree's programs, plug-ins
# and golden data: one generated header, generated/TestPaths.h of the build
# tree, included as "TestPaths.h" by whatever links talmex_test_paths. A part
# not built here has no line, so the code that needs it can leave itself out.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/generated/TestPaths.h CONTENT "\
// Written by cmake/TalmexTestPaths.cmake for this build tree.
#pragma once

#define TALMEX_AGENT_PATH \"$<TARGET_FILE:talmex-agent>\"
// The agent's folder, where it finds the simulated headset.
#define TALMEX_AGENT_FOLDER \"$<TARGET_FILE_DIR:talmex-agent>\"
#define TALMEX_MONITOR_PATH \"$<TARGET_FILE:talmex-monitor>\"
#define TALMEX_SIMULATED_HEADSET \"$<TARGET_FILE:talmex_simulated_headset>\"
// The test plug-ins, each in a folder of its own there.
#define TALMEX_TEST_PLUGIN_FOLDERS \"${CMAKE_BINARY_DIR}/tests\"
#define TALMEX_GOLDEN_FOLDER \"${PROJECT_SOURCE_DIR}/Tests/Protocol/Golden\"
$<$<TARGET_EXISTS:talmex_openhmd_headset>:\
#define TALMEX_OPENHMD_HEADSET \"$<TARGET_FILE:talmex_openhmd_headset>\"
#define TALMEX_OPENHMD_FOLDER \"${TALMEX_OPENHMD_FOLDER}\"
>$<$<TARGET_EXISTS:talmex_emulated_rift>:\
#define TALMEX_EMULATED_RIFT_LIBRARY \"$<TARGET_FILE:talmex_emulated_rift>\"
>")
add_library(talmex_test_paths INTERFACE)
target_include_directories(talmex_test_paths INTERFACE ${CMAKE_BINARY_DIR}/generated)
