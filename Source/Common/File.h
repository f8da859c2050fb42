#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace Talmex {

// File operations on UTF-8 paths. They keep no state and report failure as
// false: a path that is missing, not UTF-8 or holds a zero byte, an
// unwritable place, or an existing destination (which Move and Copy leave
// untouched). Directories are deleted, moved and copied with their contents;
// links are deleted, moved and copied as links, never followed, not even one
// put at the destination while Copy or Move runs. Delete refuses a path whose
// last part is "." or "..", or a link to a directory written with a trailing
// separator. A Copy or Move that fails part-way takes back what it copied.
//
// A Move to another file system copies, then removes from the source only
// what it copied. If the source gains or changes an entry while it is
// copied, the move fails and the source stays whole; if that happens while
// the source is being removed, the move fails and each side keeps its part,
// so no entry is lost. On a file system with neither a rename that refuses
// an existing destination nor hard links, Move checks the destination and
// then renames, so an item made at the destination in between is replaced.
class File {
public:
    File() = delete;

    static bool Exists(const std::string& path);
    static bool Delete(const std::string& path);
    static bool Move(const std::string& from, const std::string& to);
    static bool Copy(const std::string& from, const std::string& to);
};

// The directory of the running program, without a trailing separator; empty
// when the platform cannot tell.
std::string GetModulePath();

// The user's temporary directory, ending in a separator; empty when the
// platform has none.
std::string GetTemporaryDirectoryName();

// A new unique name: the 36-character text of a random UUID, after `prefix`
// when one is given. No file is created. Empty when no UUID can be made.
std::string GetTemporaryFileName();
std::string GetTemporaryFileName(const std::string& prefix);

// The body of a file held in memory: bytes are appended at the end and the
// whole body is written out in one go.
class FileBuf {
public:
    const unsigned char* Data() const { return _data.data(); }
    size_t Size() const { return _data.size(); }

    // Appends size bytes from source; nothing when source is null.
    void Append(const void* source, size_t size)
    {
        if (source == nullptr || size == 0) {
            return;
        }
        const size_t oldSize = _data.size();
        _data.resize(oldSize + size);
        std::memcpy(_data.data() + oldSize, source, size);
    }

    // Empties the body, keeping its capacity for the next one.
    void Clear() { _data.clear(); }

    // Replaces the file at path with the body. The bytes go to a new file
    // beside it, which takes the name only once they are all written, so a
    // failure leaves path as it was and no partial file behind. The new file
    // keeps the permissions of the one it replaces, and a symbolic link at
    // path is written through to the file it leads to.
    bool WriteToFile(const std::string& path) const;

private:
    std::vector<unsigned char> _data;
};

} // namespace Talmex
