#include "Monitor/Recorder.h"
#include "MonitorProcess.h"

#include "Protocol/Recording.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace MonitorTest;
using Talmex::Monitor::Recorder;
using namespace Talmex::Protocol;
using Bytes = std::vector<unsigned char>;

class RecorderTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(_folder.Path().empty()); }

    TemporaryFolder _folder;
    Recorder _recorder;
    std::string _error;
};

TEST_F(RecorderTest, SaysWhyItCannotRecord)
{
    EXPECT_FALSE(_recorder.Open(_folder.Path() + "/missing/session.tlxr", _error));
    EXPECT_EQ(_error, "cannot record to " + _folder.Path() +
                          "/missing/session.tlxr: No such file or directory");

    Recorder full;
    ASSERT_TRUE(full.Open("/dev/full", _error)) << _error;
    const Bytes datagram(241, 0);
    full.Add(Recorder::Clock::now(), datagram.data(), datagram.size());
    EXPECT_FALSE(full.Close(_error));
    EXPECT_EQ(_error, "cannot write /dev/full: No space left on device");
    EXPECT_EQ(full.WriteError(), _error);
}

// A pipe nobody reads stands for a disk that stalls: Add goes on at once,
// the backlog is counted, and once the pipe is read everything arrives.
TEST_F(RecorderTest, StalledDiskNeverHoldsUpAddAndLosesNothing)
{
    const std::string path = _folder.Path() + "/stalled";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_NE(reader, -1);
    ASSERT_TRUE(_recorder.Open(path, _error)) << _error;

    constexpr size_t kReports = 6000; // about 1.5 MB, well past a pipe's buffer
    const Bytes datagram(241, 0x5A);
    for (size_t i = 0; i < kReports; ++i) {
        _recorder.Add(Recorder::Clock::now(), datagram.data(), datagram.size());
    }
    const Recorder::Counts stalled = _recorder.GetCounts();
    EXPECT_EQ(stalled.records, kReports);
    EXPECT_EQ(stalled.dropped, 0u);
    EXPECT_EQ(stalled.fellBehind, 1u);
    EXPECT_GT(stalled.backlog, Recorder::kBacklogWarning);

    Bytes bytes;
    std::thread drain([reader, &bytes] {
        unsigned char buffer[65536];
        for (int quiet = 0; quiet < 100;) { // ends 5 s after the last byte
            pollfd ready = {reader, POLLIN, 0};
            poll(&ready, 1, 50);
            const ssize_t size = read(reader, buffer, sizeof buffer);
            if (size == 0) {
                return; // the recorder closed its end
            }
            quiet = size > 0 ? 0 : quiet + 1;
            bytes.insert(bytes.end(), buffer, buffer + std::max<ssize_t>(size, 0));
        }
    });
    const bool isClosed = _recorder.Close(_error);
    drain.join();
    close(reader);
    ASSERT_TRUE(isClosed) << _error;
    RecordingReader recording;
    ASSERT_TRUE(recording.Open(bytes.data(), bytes.size())) << recording.Error();
    size_t records = 0;
    for (RecordedDatagram record; records <= kReports && recording.Next(record);) {
        ++records;
    }
    EXPECT_EQ(records, kReports);
    EXPECT_FALSE(recording.IsTruncated());
}

} // namespace
