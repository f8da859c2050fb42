#pragma once

#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace Talmex {
namespace Platform {

// True if both describe the same item of the same file system.
inline bool IsSameItem(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// A walk down and back up a tree of directories that holds one descriptor,
// however deep the tree, and needs no recursion. Links are never followed.
// The way back up is "..", checked against the directory the walk came
// from, so a directory moved meanwhile ends the walk instead of leading it
// elsewhere. Each directory's names are read once, as the walk enters it.
class DirectoryWalk {
public:
    // Starts in the directory `name` of the directory open at `parent`.
    // The other operations are for a walk whose Descriptor() is not -1.
    DirectoryWalk(int parent, const std::string& name);
    ~DirectoryWalk();
    DirectoryWalk(const DirectoryWalk&) = delete;
    DirectoryWalk& operator=(const DirectoryWalk&) = delete;

    // The directory the walk is in, or -1 when the first one could not be
    // opened or read.
    int Descriptor() const { return _descriptor; }
    // The status of the directory the walk is in, as it was entered.
    const struct stat& Status() const { return _levels.back().status; }
    // How many directories below the first one the walk is.
    size_t Depth() const { return _levels.size() - 1; }

    // The next name in the directory the walk is in, "." and ".." left out,
    // or null when all have been given.
    const char* Next();
    // Goes into the directory `name` of the one the walk is in; false, and
    // the walk stays, if that is no directory or cannot be opened or read.
    bool Enter(const std::string& name);
    // Goes back up into the directory that holds this one, and gives the
    // name of the one it left. False, and the walk stays, at the first
    // directory or when ".." is not where the walk came from.
    bool Leave(std::string& name);

private:
    struct _Level {
        std::string name;
        struct stat status;
        std::vector<std::string> names;
        size_t next;
    };

    // Takes `opened` as the directory `name`, one level further down.
    bool _Push(int opened, const std::string& name);

    int _descriptor = -1;
    std::vector<_Level> _levels;
};

} // namespace Platform
} // namespace Talmex
