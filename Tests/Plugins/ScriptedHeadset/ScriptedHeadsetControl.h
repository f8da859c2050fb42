#pragma once

// Control surface of the scripted headset plug-in, reached by tests with
// dlsym on the library the agent loaded.
//
// Every entry point call is logged as one line, "OVR_Name(arg, arg)", to an
// in-memory log; the commands (start, stop and the five client commands) are
// also appended to the file that TALMEX_SCRIPTED_LOG names, if it is set. Each entry point answers
// from a script: its result, and how many of its out-values it writes with which values. Sensor
// queries add 1000 times the sensor index to every value. By default every call returns 1 and
// writes all its out-values, value k of the entry point at binding position i being i + (k + 1)
// / 8.
//
// For an agent run as a process, two environment variables script it:
// TALMEX_SCRIPTED_ANSWERS, entries "OVR_Name result value..." separated by
// ';', each writing as many out-values as it gives (read when the script is
// reset); and TALMEX_SCRIPTED_QUERY_DELAY_US, a sleep before every query.
// TALMEX_SCRIPTED_SAY=TEXT makes it print as foreign plug-ins may: "TEXT
// loaded" on standard output as it loads, and "TEXT OVR_Initialize" on
// standard error at each OVR_Initialize.

extern "C" {

typedef void (*ScriptedResetFunction)();
typedef void (*ScriptedSetAnswerFunction)(const char* entryPoint, int result, int written,
                                          const double* values);
typedef const char* (*HeadsetCommandLogFunction)();

} // extern "C"
