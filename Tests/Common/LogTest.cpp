#include "TextShape.h"

#include "Common/Config.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct ChildOutput {
    pid_t pid = -1;
    bool exitedCleanly = false;
    std::string standardOutput;
    std::string standardError;
};

std::string ReadAll(int descriptor)
{
    std::string text;
    char chunk[4096];
    lseek(descriptor, 0, SEEK_SET);
    for (;;) {
        const ssize_t got = read(descriptor, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return text;
        }
        text.append(chunk, static_cast<size_t>(got));
    }
}

// Runs `body` in a child process whose standard output and error go to
// memory files, and collects both once it has exited.
ChildOutput RunInChild(const std::function<void()>& body)
{
    ChildOutput result;
    const int output = memfd_create("stdout", 0);
    const int error = memfd_create("stderr", 0);
    if (output < 0 || error < 0) {
        ADD_FAILURE() << "memfd_create failed";
        return result;
    }
    std::fflush(nullptr);
    result.pid = fork();
    if (result.pid == 0) {
        alarm(20); // a hung child must not hang the test
        dup2(output, STDOUT_FILENO);
        dup2(error, STDERR_FILENO);
        body();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    if (result.pid > 0 && waitpid(result.pid, &status, 0) == result.pid) {
        result.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    result.standardOutput = ReadAll(output);
    result.standardError = ReadAll(error);
    close(output);
    close(error);
    return result;
}

// Takes the system log's records apart, checking each one's frame: local
// time to the millisecond, this program's name, the child's process id and,
// as the child logs on its main thread, the same id as thread.
std::vector<std::string> LogRecords(const ChildOutput& child)
{
    const std::string time = "9999-99-99 99:99:99.999 ";
    const std::string origin = std::string(program_invocation_short_name) + "[" +
                               std::to_string(child.pid) + ":" + std::to_string(child.pid) + "] ";
    std::vector<std::string> records;
    std::string rest = child.standardError;
    while (!rest.empty()) {
        if (!MatchesShape(rest.substr(0, time.size()), time) ||
            rest.compare(time.size(), origin.size(), origin) != 0) {
            ADD_FAILURE() << "unframed log output: " << rest.substr(0, 200);
            break;
        }
        const size_t textStart = time.size() + origin.size();
        const size_t end = rest.find('\n', textStart);
        if (end == std::string::npos) {
            ADD_FAILURE() << "record without a newline";
            break;
        }
        records.push_back(rest.substr(textStart, end - textStart));
        rest.erase(0, end + 1);
    }
    return records;
}

// The one record that `body` logs; standard output must stay empty.
std::string LoggedText(const std::function<void()>& body)
{
    const ChildOutput child = RunInChild(body);
    EXPECT_TRUE(child.exitedCleanly);
    EXPECT_EQ(child.standardOutput, "");
    const std::vector<std::string> records = LogRecords(child);
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? std::string() : records.front();
}

// What `body` prints on standard output; the system log must stay empty.
std::string PrintedText(const std::function<void()>& body)
{
    const ChildOutput child = RunInChild(body);
    EXPECT_TRUE(child.exitedCleanly);
    EXPECT_EQ(child.standardError, "");
    return child.standardOutput;
}

// Once the C library knows a locale by the name the log calls ask for, a
// call that switched the process's locale would leave it switched.
TEST(LogLocaleTest, LogCallsLeaveTheProcessLocaleAlone)
{
    const char* compiled = "/usr/lib/locale/C.utf8";
    if (access(compiled, R_OK) != 0) {
        GTEST_SKIP() << "no compiled locale to name English";
    }
    std::string directory = "/tmp/talmex-locale-XXXXXX";
    ASSERT_NE(mkdtemp(&directory[0]), nullptr);
    const std::string english = directory + "/English";
    ASSERT_EQ(symlink(compiled, english.c_str()), 0);
    const ChildOutput child = RunInChild([&] {
        setenv("LOCPATH", directory.c_str(), 1);
        std::setlocale(LC_ALL, "C");
        _TALMEX_LOG("narrow");
        _TALMEX_LOG(L"wide");
        _TALMEX_LOG(L"%s", L"piecewise");
        std::fputs(std::setlocale(LC_ALL, nullptr), stdout);
    });
    unlink(english.c_str());
    rmdir(directory.c_str());
    EXPECT_TRUE(child.exitedCleanly);
    EXPECT_EQ(child.standardOutput, "piecewise\nC");
}

TEST(SystemLogTest, EachCallIsOneFramedRecordOfTheTextUnchanged)
{
    const ChildOutput child = RunInChild([] {
        Talmex::_NSLog("100% %d sure");
        Talmex::_NSLog("");
        Talmex::_NSLog(L"日本語");
    });
    EXPECT_TRUE(child.exitedCleanly);
    EXPECT_EQ(child.standardOutput, "");
    EXPECT_EQ(LogRecords(child), (std::vector<std::string>{"100% %d sure", "", "日本語"}));
}

TEST(SystemLogTest, NullOrUnconvertibleWideTextLogsAnEmptyMessage)
{
    EXPECT_EQ(LoggedText([] { Talmex::_NSLog(static_cast<const wchar_t*>(nullptr)); }), "");
    const wchar_t surrogate[] = {L'a', 0xD800, 0};
    EXPECT_EQ(LoggedText([&] { Talmex::_NSLog(surrogate); }), "");
}

TEST(NarrowLogTest, FormatsIntoTheSystemLog)
{
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG("%s=%d (%.1f%%)", "answer", 42, 99.5); }),
              "answer=42 (99.5%)");
}

TEST(NarrowLogTest, MessageIsCutAt2046Bytes)
{
    const std::string long3000(3000, 'x');
    EXPECT_EQ(LoggedText([&] { _TALMEX_LOG("%s", long3000.c_str()); }), std::string(2046, 'x'));
    const std::string exact(2046, 'y');
    EXPECT_EQ(LoggedText([&] { _TALMEX_LOG("%s", exact.c_str()); }), exact);
    EXPECT_EQ(LoggedText([&] { _TALMEX_LOG("%s!", exact.c_str()); }), exact);
}

TEST(NarrowLogTest, FormatterErrorStillLogsATerminatedText)
{
    // No locale can write a lone surrogate, so the formatter fails after "abc".
    const wchar_t surrogate[] = {0xD800, 0};
    const std::string text = LoggedText([&] { _TALMEX_LOG("abc%lsdef", surrogate); });
    EXPECT_TRUE(text == "" || text == "abc") << text;
}

TEST(NarrowLogTest, NullFormatStopsTheProcess)
{
    // Through a pointer, which carries no format checking: the null is the point.
    void (*const log)(const char*, ...) = &_TALMEX_LOG;
    EXPECT_DEATH(log(nullptr), "format != nullptr");
}

enum class Path { Direct, Piecewise };

struct WideCase {
    std::function<void()> log;
    Path path;
    std::string expected;
};

// Only a '%' immediately followed by s, S, c or C, or a character above 127,
// takes a format apart; the direct path reads every text argument as wide,
// and the piecewise path knows only its own table.
TEST(WideLogTest, EachFormatTakesItsPathAndReadsItsArgumentsRight)
{
    const std::vector<WideCase> cases = {
        // The direct path: the platform formatter, %% its escape.
        {[] { _TALMEX_LOG(L"count %d!", 5); }, Path::Direct, "count 5!"},
        {[] { _TALMEX_LOG(L"100%%"); }, Path::Direct, "100%"},
        {[] { _TALMEX_LOG(L"100%% sure %d", 5); }, Path::Direct, "100% sure 5"},
        {[] { _TALMEX_LOG(L"disk 99%% Sectors %d", 3); }, Path::Direct, "disk 99% Sectors 3"},
        {[] { _TALMEX_LOG(L"%ld: [%5s]", 7L, L"ab"); }, Path::Direct, "7: [   ab]"},
        {[] { _TALMEX_LOG(L"%5S %ld", L"ab", 7L); }, Path::Direct, "   ab 7"},
        {[] { _TALMEX_LOG(L"[%5S][%-4C]", L"ab", L'q'); }, Path::Direct, "[   ab][q   ]"},
        {[] { _TALMEX_LOG(L"[%5s][%-5.2s][%*s][%3c][%-2c]", L"ab", L"xyz", 4, L"a", L'q', L'r'); },
         Path::Direct, "[   ab][xy   ][   a][  q][r ]"},
        {[] { _TALMEX_LOG(L"<%ls|%3lc|%.2f|%+d>", L"wide", L'x', 1.5, 4); }, Path::Direct,
         "<wide|  x|1.50|+4>"},
        {[] { _TALMEX_LOG(L"%%- %%+ %%  %%# %%0 %%5 %%. %%* %%d %%u %%x %%f %%l"); }, Path::Direct,
         "%- %+ %  %# %0 %5 %. %* %d %u %x %f %l"},
        {[] {
             _TALMEX_LOG(L"[%-3d][%+d][% d][%#x][%05x][%5d][%.2f][%*d][%5s]", 1, 2, 3, 255u, 255u,
                         4, 0.5, 3, 6, L"t");
         },
         Path::Direct, "[1  ][+2][ 3][0xff][000ff][    4][0.50][  6][    t]"},
        {[] { _TALMEX_LOG(L"trailing %"); }, Path::Direct, "trailing %"},
        // The piecewise path: text arguments are wide, numbers 32-bit.
        {[] { _TALMEX_LOG(L"name=%s, initial=%c.", L"日本", L'X'); }, Path::Piecewise,
         "name=日本, initial=X."},
        {[] { _TALMEX_LOG(L"%S|%C", L"upper", 0x3042); }, Path::Piecewise, "upper|あ"},
        {[] { _TALMEX_LOG(L"%s", nullptr); }, Path::Piecewise, "%s"},
        {[] {
             _TALMEX_LOG(L"%s%d %D %u %U %x %X %f %F", L"", -3, -4, 4000000000u, 5u, 255u, 255u,
                         1.5, 2.25);
         },
         Path::Piecewise, "-3 -4 4000000000 5 ff FF 1.500000 2.250000"},
        {[] { _TALMEX_LOG(L"%s[%5d][%05x]", L"", 42, 255); }, Path::Piecewise, "[   42][000ff]"},
        // Six digits, digits at the end, or digits before no numeric letter
        // are plain text and take no argument.
        {[] { _TALMEX_LOG(L"%s[%123456d][%d]", L"", 9); }, Path::Piecewise, "[%123456d][9]"},
        {[] { _TALMEX_LOG(L"%s %5q %5s %12", L"a"); }, Path::Piecewise, "a %5q %5s %12"},
        // Modifiers, flags, precisions and stars mean nothing here.
        {[] { _TALMEX_LOG(L"%s %ld %.2f %-5d %+d % d %#x %*d %-4S %d", L"a", 7); }, Path::Piecewise,
         "a %ld %.2f %-5d %+d % d %#x %*d %-4S 7"},
        {[] { _TALMEX_LOG(L"é 100% sure"); }, Path::Piecewise, "é 100% sure"},
        {[] { _TALMEX_LOG(L"%s at 50% Speed, %d MB/s", L"disk", 40); }, Path::Piecewise,
         "disk at 50% Speed, 40 MB/s"},
        {[] { _TALMEX_LOG(L"%s: 50% Complete, %d left", L"copy", 3); }, Path::Piecewise,
         "copy: 50% Complete, 3 left"},
        // %% is no escape: its second '%' starts a conversion of its own.
        {[] { _TALMEX_LOG(L"%s %% done", L"a"); }, Path::Piecewise, "a %% done"},
        {[] {
             _TALMEX_LOG(L"%s|%%-|%%+|%% |%%#|%%0|%%5|%%.|%%*|%%d|%%x|%%f|%%c", L"a", 1, 2u, 1.5,
                         L'c');
         },
         Path::Piecewise, "a|%%-|%%+|%% |%%#|%%0|%%5|%%.|%%*|%1|%2|%1.500000|%c"},
        {[] { _TALMEX_LOG(L"100%%s", L"x"); }, Path::Piecewise, "100%x"},
        {[] { _TALMEX_LOG(L"%s 100%", L"a"); }, Path::Piecewise, "a 100%"},
        {[] { _TALMEX_LOG(L"温度 %d°", 20); }, Path::Piecewise, "温度 20°"},
        // The UTF-8 conversion stops at a zero character and fails on a
        // surrogate.
        {[] { _TALMEX_LOG(L"ab%cde%s", 0, L"x"); }, Path::Piecewise, "ab"},
        {[] { _TALMEX_LOG(L"bad %c", 0xD800); }, Path::Piecewise, ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i) + ": " + cases[i].expected);
        if (cases[i].path == Path::Direct) {
            EXPECT_EQ(LoggedText(cases[i].log), cases[i].expected);
        } else {
            EXPECT_EQ(PrintedText(cases[i].log), cases[i].expected + "\n");
        }
    }
}

TEST(WideLogTest, DirectPathLogsTheRawFormatWhenTheMessageDoesNotFit)
{
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"[%3000d]", 1); }), "[%3000d]");
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"%2047d", 1); }), "%2047d");
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"%2046d", 1); }), std::string(2045, ' ') + "1");
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"[%3000s]", L"x"); }), "[%3000s]");
}

TEST(WideLogTest, PiecewisePathCutsANumericPieceAt126Characters)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s%200d|", L"", 7); }), std::string(126, ' ') + "|\n");
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s[%12345D]", L"", 7); }).size(), 126u + 3u);
}

} // namespace
