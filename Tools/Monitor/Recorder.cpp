#include "Monitor/Recorder.h"

#include "Protocol/Coding.h"
#include "Protocol/Recording.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace Talmex {
namespace Monitor {

namespace {

using Protocol::RecordingFormat::kHeaderSize;
using Protocol::RecordingFormat::kRecordHeaderSize;
using std::chrono::duration_cast;
using std::chrono::microseconds;

// The datagram's length ends a record's header.
constexpr size_t kLengthOffset = kRecordHeaderSize - 4;

// The records that end within the first size bytes, the first at offset.
uint64_t _WholeRecords(const std::vector<unsigned char>& bytes, size_t offset, size_t size)
{
    uint64_t records = 0;
    while (offset + kRecordHeaderSize <= size) {
        offset += kRecordHeaderSize + Protocol::DecodeFixed32(&bytes[offset + kLengthOffset]);
        if (offset > size) {
            break;
        }
        ++records;
    }
    return records;
}

} // namespace

Recorder::~Recorder()
{
    std::string ignored;
    Close(ignored);
}

bool Recorder::Open(const std::string& path, std::string& error)
{
    _file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (_file == -1) {
        error = "cannot record to " + path + ": " + std::strerror(errno);
        return false;
    }
    // So that a stalled reader of a pipe or FIFO never holds the writer in
    // write, where nothing could end the wait; a disk file ignores it.
    fcntl(_file, F_SETFL, fcntl(_file, F_GETFL) | O_NONBLOCK);
    _path = path;
    _start = Clock::now();
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    // The header goes out through the writer too: even the first write may
    // meet a slow disk.
    Protocol::AppendRecordingHeader(
        static_cast<uint64_t>(duration_cast<microseconds>(sinceEpoch).count()), _pending);
    _writer = std::thread(&Recorder::_WriteLoop, this);
    return true;
}

void Recorder::Add(Clock::time_point received, const unsigned char* datagram, size_t size)
{
    const uint64_t time =
        received > _start
            ? static_cast<uint64_t>(duration_cast<microseconds>(received - _start).count())
            : 0;
    std::lock_guard<std::mutex> lock(_mutex);
    const size_t backlog = _pending.size() + _inFlight;
    if (!_writeError.empty() ||
        backlog + Protocol::RecordingFormat::kRecordHeaderSize + size > kBacklogLimit) {
        ++_counts.dropped;
        return;
    }
    Protocol::AppendRecord(time, datagram, size, _pending);
    ++_pendingRecords;
    ++_counts.records;
    if (!_isBehind && _pending.size() + _inFlight > kBacklogWarning) {
        _isBehind = true;
        ++_counts.fellBehind;
    }
}

void Recorder::_WriteLoop()
{
    std::vector<unsigned char> writing;
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        _wake.wait_for(lock, kWriteInterval, [this] { return _isClosing; });
        const bool isLast = _isClosing;
        // Swapped, so that Add goes on filling the other buffer meanwhile.
        writing.swap(_pending);
        _inFlight = writing.size();
        const size_t records = _pendingRecords;
        _pendingRecords = 0;
        const size_t firstRecord = _isHeaderPending ? kHeaderSize : 0;
        _isHeaderPending = false;
        const bool isFailing = !_writeError.empty();
        lock.unlock();
        size_t done = 0;
        const std::string error = isFailing ? std::string() : _WriteOut(writing, done);
        lock.lock();
        _counts.written += done;
        if (isFailing || !error.empty()) {
            // What a failed write could not hold is lost, as is all that
            // gathered meanwhile.
            const uint64_t lost = records - _WholeRecords(writing, firstRecord, done);
            _counts.records -= lost;
            _counts.dropped += lost;
            if (!isFailing) {
                _writeError = error;
            }
        }
        writing.clear();
        _inFlight = 0;
        // Behind until the backlog has shrunk well below the mark.
        _isBehind = _isBehind && _pending.size() > kBacklogWarning / 2;
        if (isLast) {
            return;
        }
    }
}

std::string Recorder::_WriteOut(const std::vector<unsigned char>& bytes, size_t& done)
{
    Clock::time_point lastProgress = Clock::now();
    while (done < bytes.size()) {
        const ssize_t written = write(_file, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
            lastProgress = Clock::now();
        } else if (written < 0 && errno == EAGAIN) {
            if (_IsStalledTooLong(lastProgress)) {
                return "the reader of " + _path + " took nothing for " +
                       std::to_string(kStallLimit.count()) + " s";
            }
            pollfd room = {_file, POLLOUT, 0};
            poll(&room, 1, static_cast<int>(kWriteInterval.count()));
        } else if (written == 0 || errno != EINTR) {
            return "cannot write " + _path + ": " +
                   (written < 0 ? std::strerror(errno) : "nothing written");
        }
    }
    return std::string();
}

bool Recorder::_IsStalledTooLong(Clock::time_point lastProgress) const
{
    std::lock_guard<std::mutex> lock(_mutex);
    // The reader has kStallLimit from the close on, however long it stalled before.
    return _isClosing && Clock::now() - std::max(lastProgress, _closingSince) >= kStallLimit;
}

bool Recorder::Close(std::string& error)
{
    if (_file == -1) {
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _isClosing = true;
        _closingSince = Clock::now();
    }
    _wake.notify_one();
    _writer.join();
    std::string problem = WriteError();
    // A terminal or a pipe cannot be synced, and needs not be.
    if (fsync(_file) != 0 && errno != EINVAL && errno != EROFS && problem.empty()) {
        problem = "cannot sync " + _path + ": " + std::strerror(errno);
    }
    if (close(_file) != 0 && problem.empty()) {
        problem = "cannot close " + _path + ": " + std::strerror(errno);
    }
    _file = -1;
    error = problem;
    return problem.empty();
}

Recorder::Counts Recorder::GetCounts() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    Counts counts = _counts;
    counts.backlog = _pending.size() + _inFlight;
    return counts;
}

std::string Recorder::WriteError() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _writeError;
}

} // namespace Monitor
} // namespace Talmex
