#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Talmex {
namespace Monitor {

// Writes the reports to a recording file as they arrive. Add only appends to
// a buffer in memory; a thread of the recorder's own writes the buffer out,
// so that a slow disk never holds up the receive loop. The file may be a pipe
// or a FIFO: its reader can stall, and Close then waits for it only so long.
class Recorder {
public:
    using Clock = std::chrono::steady_clock;

    // The writer takes what has gathered this often.
    static constexpr std::chrono::milliseconds kWriteInterval{100};
    // More than this waiting to be written: the disk falls behind (about 9 s
    // of reports).
    static constexpr size_t kBacklogWarning = size_t(1) << 20;
    // More than this, and further reports are dropped, and counted, rather
    // than held in memory (about 9 minutes of reports).
    static constexpr size_t kBacklogLimit = size_t(64) << 20;
    // Once closing, a reader that takes nothing for this long is given up
    // on, and the recording is incomplete.
    static constexpr std::chrono::seconds kStallLimit{3};

    struct Counts {
        uint64_t records = 0;    // reports taken, less those a failed write lost
        uint64_t dropped = 0;    // reports dropped: the disk too far behind, or failing
        uint64_t written = 0;    // bytes written, the header included
        uint64_t backlog = 0;    // bytes waiting to be written
        uint64_t fellBehind = 0; // times the backlog grew past kBacklogWarning
    };

    Recorder() = default;
    ~Recorder();

    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates the file, or empties it, and starts the writer; false, with the
    // reason, when the file cannot be opened.
    bool Open(const std::string& path, std::string& error);
    // One datagram and when it arrived; never waits for the disk.
    void Add(Clock::time_point received, const unsigned char* datagram, size_t size);
    // Writes what is left, syncs the file to the disk and closes it; false,
    // with the reason, when anything could not be written. A reader that
    // takes nothing holds it up for kStallLimit at most.
    bool Close(std::string& error);

    const std::string& Path() const { return _path; }
    Counts GetCounts() const;
    // The first write that failed, in words; empty while all went well.
    std::string WriteError() const;

private:
    void _WriteLoop();
    // Writes bytes from done on, advancing done; the error in words, or empty.
    std::string _WriteOut(const std::vector<unsigned char>& bytes, size_t& done);
    bool _IsStalledTooLong(Clock::time_point lastProgress) const;

    std::string _path;
    int _file = -1;
    Clock::time_point _start;
    std::thread _writer;

    mutable std::mutex _mutex;
    std::condition_variable _wake;
    // Guarded by _mutex: what Add gathers, and everything below.
    std::vector<unsigned char> _pending;
    size_t _pendingRecords = 0;
    // The recording's header still waits in _pending.
    bool _isHeaderPending = true;
    size_t _inFlight = 0;
    bool _isClosing = false;
    Clock::time_point _closingSince;
    bool _isBehind = false;
    Counts _counts;
    std::string _writeError;
};

} // namespace Monitor
} // namespace Talmex
