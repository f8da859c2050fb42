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

TEST(WideLogTest, DirectPathFormatsIntoTheSystemLog)
{
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"count %d!", 5); }), "count 5!");
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"100%%"); }), "100%");
}

TEST(WideLogTest, DirectPathLogsTheRawFormatWhenTheMessageDoesNotFit)
{
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"[%3000d]", 1); }), "[%3000d]");
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"%2047d", 1); }), "%2047d");
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"%2046d", 1); }), std::string(2045, ' ') + "1");
}

TEST(WideLogTest, LengthModifiedTextConversionsStayOnTheDirectPath)
{
    // The platform formatter reads %ls as a wide string itself.
    EXPECT_EQ(LoggedText([] { _TALMEX_LOG(L"<%ls|%3lc>", L"wide", L'x'); }), "<wide|  x>");
}

TEST(WideLogTest, TextConversionsWithFlagsWidthOrPrecisionTakeThePiecewisePath)
{
    EXPECT_EQ(PrintedText([] {
                  _TALMEX_LOG(L"[%5s][%-4S][%.2s][%3c][%-2C]", L"ab", L"日", L"xyz", L'q', L'r');
              }),
              "[   ab][日   ][xy][  q][r ]\n");
    // Stars take the width and precision from arguments, before the text.
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"[%*s][%-*.*s]", 4, L"a", 3, 1, L"bc"); }),
              "[   a][b  ]\n");
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"[%*s][%5s]", -3, L"a", nullptr); }), "[a  ][   %s]\n");
}

TEST(WideLogTest, PiecewisePathPrintsToStandardOutput)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"name=%s, initial=%c.", L"日本", L'X'); }),
              "name=日本, initial=X.\n");
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%S|%C", L"upper", 0x3042); }), "upper|あ\n");
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s", nullptr); }), "%s\n");
}

TEST(WideLogTest, PiecewisePathFormatsNumbersOfThirtyTwoBits)
{
    EXPECT_EQ(PrintedText([] {
                  _TALMEX_LOG(L"%s%d %D %u %U %x %X %f %F", L"", -3, -4, 4000000000u, 5u, 255u,
                              255u, 1.5, 2.25);
              }),
              "-3 -4 4000000000 5 ff FF 1.500000 2.250000\n");
}

TEST(WideLogTest, PiecewisePathHonoursWidthsOfUpToFiveDigits)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s[%5d][%05x]", L"", 42, 255); }),
              "[   42][000ff]\n");
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s[%12345D]", L"", 7); }).size(), 126u + 3u);
    // Six digits are plain text and take no argument.
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s[%123456d][%d]", L"", 9); }),
              "[%123456d][9]\n");
    // Digits running to the end, or before a letter that is no conversion.
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s %5q %123456s %12", L"a"); }),
              "a %5q %123456s %12\n");
}

TEST(WideLogTest, PiecewisePathCutsANumericPieceAt126Characters)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s%200d|", L"", 7); }), std::string(126, ' ') + "|\n");
}

TEST(WideLogTest, PiecewisePathCopiesModifiersAndPrecisionsAsWritten)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s %ld %.2f %d", L"a", 7); }), "a %ld %.2f 7\n");
}

TEST(WideLogTest, PiecewisePathTakesPercentPercentApart)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s %% done", L"a"); }), "a %% done\n");
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s %%d", L"a", 3); }), "a %3\n");
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"100%%s", L"x"); }), "100%x\n");
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"%s 100%", L"a"); }), "a 100%\n");
}

TEST(WideLogTest, CharactersAbove127TakeThePiecewisePath)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"温度 %d°", 20); }), "温度 20°\n");
}

TEST(WideLogTest, PiecewiseMessageEndsAtAZeroCharacter)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"ab%cde%s", 0, L"x"); }), "ab\n");
}

TEST(WideLogTest, UnconvertiblePiecewiseMessagePrintsAnEmptyLine)
{
    EXPECT_EQ(PrintedText([] { _TALMEX_LOG(L"bad %c", 0xD800); }), "\n");
}

} // namespace
