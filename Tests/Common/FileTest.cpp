#include "TextShape.h"

#include "Common/File.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <set>
#include <string>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

// The no-replace rename and the hard link as this test program links them: a
// test can make them fail as they do where the file system or the kernel does
// not offer them.
namespace {
int _renameFailure = 0;
int _linkFailure = 0;

int _Fail(int error)
{
    errno = error;
    return -1;
}
} // namespace

extern "C" int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to,
                         unsigned int flags) noexcept
{
    return _renameFailure != 0 ? _Fail(_renameFailure)
                               : static_cast<int>(syscall(SYS_renameat2, fromDirectory, from,
                                                          toDirectory, to, flags));
}

extern "C" int linkat(int fromDirectory, const char* from, int toDirectory, const char* to,
                      int flags) noexcept
{
    return _linkFailure != 0
               ? _Fail(_linkFailure)
               : static_cast<int>(syscall(SYS_linkat, fromDirectory, from, toDirectory, to, flags));
}

namespace {

TEST(ModulePathTest, IsTheDirectoryOfTheRunningExecutable)
{
    char executable[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
    ASSERT_GT(length, 0);
    const std::string expected(executable, executable + length);

    const std::string modulePath = Talmex::GetModulePath();
    ASSERT_FALSE(modulePath.empty());
    EXPECT_NE(modulePath.back(), '/');
    EXPECT_EQ(modulePath + expected.substr(expected.rfind('/')), expected);
}

using Talmex::File;

std::string ReadFile(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// Each test works in a fresh directory of its own under the temporary one.
class FileTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = std::filesystem::temp_directory_path() / "talmex-file-test-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        _directory = pattern;
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(_directory, ignored);
        if (!_other.empty()) {
            std::filesystem::remove_all(_other, ignored);
        }
    }

    std::string PathOf(const std::string& name) const { return _directory + "/" + name; }

    // A fresh directory on another file system than the test's own one, or
    // empty when the machine offers none.
    std::string OtherFileSystem()
    {
        std::string pattern = "/dev/shm/talmex-file-test-XXXXXX";
        struct stat shared {
        }, ours{};
        if (stat("/dev/shm", &shared) == 0 && stat(_directory.c_str(), &ours) == 0 &&
            shared.st_dev != ours.st_dev && mkdtemp(&pattern[0]) != nullptr) {
            _other = pattern;
        }
        return _other;
    }

    // A copy of a tree within this file system, and a move of one from
    // another file system where there is one.
    struct Transfer {
        std::string tree;
        bool (*operation)(const std::string& from, const std::string& to);
    };
    std::vector<Transfer> Transfers()
    {
        std::vector<Transfer> transfers{{PathOf("tree"), &File::Copy}};
        if (!OtherFileSystem().empty()) {
            transfers.push_back({_other + "/tree", &File::Move});
        }
        return transfers;
    }

    std::string _directory;
    std::string _other;
};

// Makes a directory of files named 0 to count - 1, each holding its name.
void MakeTree(const std::string& path, int count)
{
    std::filesystem::create_directory(path);
    for (int i = 0; i < count; ++i) {
        WriteFile(path + "/" + std::to_string(i), std::to_string(i));
    }
}

TEST_F(FileTest, CopyMoveAndDeleteAFile)
{
    const std::string original = PathOf("original.txt");
    const std::string copy = PathOf("copy.txt");
    const std::string moved = PathOf("moved.txt");
    EXPECT_FALSE(File::Exists(original));
    WriteFile(original, "content");
    EXPECT_TRUE(File::Exists(original));

    EXPECT_TRUE(File::Copy(original, copy));
    EXPECT_TRUE(File::Exists(original));
    EXPECT_TRUE(File::Exists(copy));
    EXPECT_EQ(ReadFile(copy), "content");

    EXPECT_TRUE(File::Move(copy, moved));
    EXPECT_FALSE(File::Exists(copy));
    EXPECT_TRUE(File::Exists(moved));
    EXPECT_EQ(ReadFile(moved), "content");

    EXPECT_TRUE(File::Delete(moved));
    EXPECT_FALSE(File::Exists(moved));
    EXPECT_FALSE(File::Delete(moved));
}

TEST_F(FileTest, ExistingDestinationIsLeftUntouched)
{
    const std::string source = PathOf("source");
    const std::string destination = PathOf("destination");
    WriteFile(source, "new");
    WriteFile(destination, "old");
    EXPECT_FALSE(File::Copy(source, destination));
    EXPECT_FALSE(File::Move(source, destination));
    EXPECT_EQ(ReadFile(destination), "old");
    EXPECT_EQ(ReadFile(source), "new");

    // A directory, and a link to nowhere, are items as well.
    const std::string directory = PathOf("directory");
    std::filesystem::create_directory(directory);
    EXPECT_FALSE(File::Copy(source, directory));
    EXPECT_FALSE(File::Move(source, directory));
    EXPECT_TRUE(std::filesystem::is_empty(directory));
    const std::string dangling = PathOf("dangling");
    std::filesystem::create_symlink(PathOf("nowhere"), dangling);
    EXPECT_FALSE(File::Copy(source, dangling));
    EXPECT_FALSE(File::Move(source, dangling));
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
    EXPECT_FALSE(std::filesystem::exists(PathOf("nowhere")));
}

TEST_F(FileTest, MissingSourceFailsAndCreatesNothing)
{
    EXPECT_FALSE(File::Copy(PathOf("missing"), PathOf("copy")));
    EXPECT_FALSE(File::Move(PathOf("missing"), PathOf("moved")));
    EXPECT_FALSE(File::Delete(PathOf("missing")));
    EXPECT_TRUE(std::filesystem::is_empty(_directory));
}

// Without the no-replace rename, a file takes its new name as a hard link,
// which never replaces anything. Where there are no hard links either, and
// for a directory, which has none, the destination is checked, then renamed.
TEST_F(FileTest, MoveWithoutTheNoReplaceRenameLeavesTakenDestinations)
{
    const std::string source = PathOf("source");
    const std::string taken = PathOf("taken");
    const std::string tree = PathOf("tree");
    WriteFile(taken, "old");
    for (const int renameFailure : {EINVAL, ENOSYS}) {
        for (const int linkFailure : {0, EPERM, EOPNOTSUPP}) {
            const std::string label =
                std::to_string(renameFailure) + " " + std::to_string(linkFailure);
            WriteFile(source, "new");
            MakeTree(tree, 1);
            _renameFailure = renameFailure;
            _linkFailure = linkFailure;
            const bool isMovedOntoTaken = File::Move(source, taken);
            const bool isTreeMovedOntoTaken = File::Move(tree, taken);
            const bool isMoved = File::Move(source, PathOf("moved"));
            const bool isTreeMoved = File::Move(tree, PathOf("tree-moved"));
            _renameFailure = 0;
            _linkFailure = 0;
            EXPECT_FALSE(isMovedOntoTaken) << label;
            EXPECT_FALSE(isTreeMovedOntoTaken) << label;
            EXPECT_EQ(ReadFile(taken), "old") << label;
            EXPECT_TRUE(isMoved) << label;
            EXPECT_FALSE(File::Exists(source)) << label;
            EXPECT_EQ(ReadFile(PathOf("moved")), "new") << label;
            EXPECT_TRUE(isTreeMoved) << label;
            EXPECT_FALSE(File::Exists(tree)) << label;
            EXPECT_EQ(ReadFile(PathOf("tree-moved/0")), "0") << label;
            std::filesystem::remove(PathOf("moved"));
            std::filesystem::remove_all(PathOf("tree-moved"));
        }
    }
}

TEST_F(FileTest, DirectoriesAreCopiedMovedAndDeletedWithTheirContents)
{
    const std::string tree = PathOf("tree");
    std::filesystem::create_directories(tree + "/inner");
    WriteFile(tree + "/inner/leaf", "leaf");
    EXPECT_TRUE(File::Exists(tree));

    EXPECT_TRUE(File::Copy(tree, PathOf("copy")));
    EXPECT_EQ(ReadFile(PathOf("copy/inner/leaf")), "leaf");
    EXPECT_TRUE(File::Move(PathOf("copy"), PathOf("moved")));
    EXPECT_EQ(ReadFile(PathOf("moved/inner/leaf")), "leaf");
    EXPECT_FALSE(File::Exists(PathOf("copy")));

    EXPECT_TRUE(File::Delete(PathOf("moved")));
    EXPECT_FALSE(File::Exists(PathOf("moved")));
    EXPECT_EQ(ReadFile(tree + "/inner/leaf"), "leaf");
}

TEST_F(FileTest, MoveAcrossFileSystemsCopiesThenRemovesTheSource)
{
    const std::string other = OtherFileSystem();
    if (other.empty()) {
        GTEST_SKIP() << "no second file system to move across";
    }
    std::filesystem::create_directory(other + "/tree");
    WriteFile(other + "/tree/leaf", "leaf");
    EXPECT_TRUE(File::Move(other + "/tree", PathOf("tree")));
    EXPECT_EQ(ReadFile(PathOf("tree/leaf")), "leaf");
    EXPECT_FALSE(File::Exists(other + "/tree"));
}

// A writer keeps adding finished files to a tree while it is moved to another
// file system: every file ends up on one side or the other, none is lost.
TEST_F(FileTest, MoveAcrossFileSystemsLosesNothingWrittenMeanwhile)
{
    const std::string other = OtherFileSystem();
    if (other.empty()) {
        GTEST_SKIP() << "no second file system to move across";
    }
    const std::string tree = other + "/tree";
    const std::string staging = other + "/staging";
    constexpr int kSeeds = 100;
    MakeTree(tree, kSeeds);
    std::filesystem::create_directory(staging);
    std::atomic<bool> isStopping{false};
    std::atomic<int> added{0};
    std::thread writer([&] {
        for (int i = kSeeds; i < kSeeds + 1000 && !isStopping; ++i) {
            const std::string name = "/" + std::to_string(i);
            WriteFile(staging + name, name.substr(1));
            if (rename((staging + name).c_str(), (tree + name).c_str()) == 0) {
                added = i + 1 - kSeeds;
            }
        }
    });
    for (int wait = 0; wait < 2000 && added < 50; ++wait) {
        usleep(1000);
    }
    std::vector<std::string> places{tree};
    for (int round = 0; round < 3 && File::Exists(tree); ++round) {
        places.push_back(PathOf(std::to_string(round)));
        File::Move(tree, places.back());
    }
    isStopping = true;
    writer.join();
    ASSERT_GE(added, 50);
    // What is left behind moves once nobody writes.
    if (File::Exists(tree)) {
        places.push_back(PathOf("last"));
        EXPECT_TRUE(File::Move(tree, places.back()));
    }
    EXPECT_FALSE(File::Exists(tree));
    int lost = 0;
    int doubled = 0;
    for (int i = 0; i < kSeeds + added; ++i) {
        const std::string name = std::to_string(i);
        const auto found =
            std::count_if(places.begin(), places.end(), [&](const std::string& place) {
                return ReadFile(place + "/" + name) == name;
            });
        lost += found == 0;
        doubled += found > 1;
    }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(doubled, 0);
}

// Someone with a hand in the destination's directory moves the copy away as
// soon as it appears and puts a link in its place: nothing is written through
// the link, and nothing is lost.
TEST_F(FileTest, CopyNeverWritesThroughALinkPlantedAtTheDestination)
{
    const std::string bait = PathOf("bait");
    std::filesystem::create_directory(bait);
    for (const Transfer& transfer : Transfers()) {
        const std::string& tree = transfer.tree;
        constexpr int kFiles = 300;
        MakeTree(tree, kFiles);
        const std::string destination = PathOf("copy");
        const int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, _directory.c_str(), IN_CREATE), 0);
        std::thread intruder([&] {
            alignas(inotify_event) char events[4096];
            pollfd ready{watch, POLLIN, 0};
            while (poll(&ready, 1, 5000) == 1) {
                const ssize_t size = read(watch, events, sizeof events);
                for (ssize_t at = 0; at < size;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                    if (event->len > 0 && std::string(event->name) == "copy") {
                        rename(destination.c_str(), PathOf("away").c_str());
                        symlink(bait.c_str(), destination.c_str());
                        return;
                    }
                    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                }
            }
        });
        const bool isMoved =
            transfer.operation(tree, destination) && transfer.operation == &File::Move;
        intruder.join();
        close(watch);
        EXPECT_TRUE(std::filesystem::is_empty(bait)) << tree;
        EXPECT_TRUE(std::filesystem::is_symlink(destination)) << tree;
        // The copy is wherever the intruder put it; the source stays until
        // the move is done.
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "/" + std::to_string(i);
            EXPECT_EQ(ReadFile((isMoved ? PathOf("away") : tree) + name), name.substr(1)) << tree;
        }
        std::filesystem::remove_all(tree);
        std::filesystem::remove(destination);
        std::filesystem::remove_all(PathOf("away"));
    }
}

// A copy that stops half-way, here at a pipe that no file manager copies,
// takes back what it made, so that it can be tried again.
TEST_F(FileTest, FailedCopyOrMoveLeavesNoDestinationBehind)
{
    for (const Transfer& transfer : Transfers()) {
        const std::string& tree = transfer.tree;
        MakeTree(tree, 50);
        MakeTree(tree + "/inner", 50);
        const std::string pipe = tree + "/inner/pipe";
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        const std::string destination = PathOf("copy");
        EXPECT_FALSE(transfer.operation(tree, destination)) << tree;
        EXPECT_FALSE(File::Exists(destination)) << tree;
        EXPECT_EQ(ReadFile(tree + "/inner/49"), "49") << tree;
        unlink(pipe.c_str());
        EXPECT_TRUE(transfer.operation(tree, destination)) << tree;
        EXPECT_EQ(ReadFile(destination + "/inner/49"), "49") << tree;
        std::filesystem::remove_all(tree);
        std::filesystem::remove_all(destination);
    }
}

// A chain of directories `depth` deep, each named d, made one level at a time
// so that neither the path's length nor open descriptors limit it.
void MakeChain(const std::string& path, int depth)
{
    std::filesystem::create_directory(path);
    int directory = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level < depth && directory >= 0; ++level) {
        const int inner = mkdirat(directory, "d", 0700) == 0
                              ? openat(directory, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                              : -1;
        close(directory);
        directory = inner;
    }
    ASSERT_GE(directory, 0);
    close(directory);
}

TEST_F(FileTest, DeepTreesAreCopiedAndDeletedWithFewDescriptors)
{
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit few = saved;
    few.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 1024);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
    // In memory where there is such a file system: a disk spends seconds on
    // this many directories.
    const std::string other = OtherFileSystem();
    const std::string place = other.empty() ? _directory : other;
    for (const int depth : {3000, 19000}) {
        const std::string tree = place + "/tree";
        const std::string copy = place + "/copy";
        MakeChain(tree, depth);
        EXPECT_TRUE(File::Copy(tree, copy)) << depth;
        EXPECT_TRUE(File::Delete(tree)) << depth;
        EXPECT_TRUE(File::Delete(copy)) << depth;
        EXPECT_FALSE(File::Exists(tree)) << depth;
        EXPECT_FALSE(File::Exists(copy)) << depth;
    }
    setrlimit(RLIMIT_NOFILE, &saved);
}

TEST_F(FileTest, DirectoryIsNotCopiedIntoItself)
{
    const std::string tree = PathOf("tree");
    std::filesystem::create_directory(tree);
    WriteFile(tree + "/leaf", "leaf");
    EXPECT_FALSE(File::Copy(tree, tree + "/copy"));
    EXPECT_FALSE(File::Copy(tree, tree + "/../tree/copy"));
    EXPECT_FALSE(File::Exists(tree + "/copy"));
    // A sibling whose name merely begins like it is another place.
    EXPECT_TRUE(File::Copy(tree, PathOf("tree2")));
}

TEST_F(FileTest, LinksAreHandledAsLinksNotFollowed)
{
    const std::string target = PathOf("target");
    WriteFile(target, "target");
    const std::string tree = PathOf("tree");
    std::filesystem::create_directory(tree);
    std::filesystem::create_symlink(target, tree + "/link");

    EXPECT_TRUE(File::Copy(tree, PathOf("copy")));
    EXPECT_TRUE(std::filesystem::is_symlink(PathOf("copy/link")));
    EXPECT_TRUE(File::Delete(tree));
    EXPECT_TRUE(File::Delete(PathOf("copy")));
    EXPECT_EQ(ReadFile(target), "target");
}

TEST_F(FileTest, DeleteRemovesNothingOutsideTheNamedItem)
{
    const std::string tree = PathOf("tree");
    std::filesystem::create_directories(tree + "/sub");
    WriteFile(tree + "/leaf", "leaf");
    std::filesystem::create_directory_symlink(tree, PathOf("link"));
    // Through the link, or as the tree's own entries: these name no item of
    // their own to remove.
    for (const std::string& path :
         {PathOf("link/"), tree + "/.", tree + "/sub/..", tree + "/sub/../", tree + "/leaf/"}) {
        EXPECT_FALSE(File::Delete(path)) << path;
        EXPECT_EQ(ReadFile(tree + "/leaf"), "leaf") << path;
        EXPECT_TRUE(std::filesystem::is_directory(tree + "/sub")) << path;
    }
    EXPECT_TRUE(File::Delete(PathOf("link")));
    EXPECT_FALSE(std::filesystem::is_symlink(PathOf("link")));
    EXPECT_EQ(ReadFile(tree + "/leaf"), "leaf");
    EXPECT_TRUE(File::Delete(tree + "/"));
    EXPECT_FALSE(File::Exists(tree));
}

TEST_F(FileTest, PathsThatAreNotUTF8OrHoldAZeroByteFail)
{
    // Such a file exists, but no UTF-8 path names it.
    const std::string latin1 = PathOf("caf\xE9");
    WriteFile(latin1, "x");
    ASSERT_TRUE(std::filesystem::exists(latin1));
    EXPECT_FALSE(File::Exists(latin1));
    EXPECT_FALSE(File::Delete(latin1));
    EXPECT_FALSE(File::Copy(latin1, PathOf("copy")));
    EXPECT_FALSE(File::Move(latin1, PathOf("moved")));
    EXPECT_FALSE(File::Copy(PathOf("none"), PathOf("caf\xE9-copy")));
    EXPECT_TRUE(std::filesystem::exists(latin1));

    // Cut at its zero byte, this path would name the file "victim".
    const std::string victim = PathOf("victim");
    WriteFile(victim, "x");
    const std::string withZero = victim + std::string(1, '\0') + "other";
    EXPECT_FALSE(File::Exists(withZero));
    EXPECT_FALSE(File::Delete(withZero));
    EXPECT_FALSE(File::Move(victim, withZero));
    EXPECT_TRUE(std::filesystem::exists(victim));

    EXPECT_FALSE(File::Exists(""));
    EXPECT_FALSE(File::Delete(""));

    const std::string japanese = PathOf("日本語");
    WriteFile(japanese, "x");
    EXPECT_TRUE(File::Exists(japanese));
    EXPECT_TRUE(File::Delete(japanese));
}

TEST_F(FileTest, UnwritablePlacesFail)
{
    const std::string source = PathOf("source");
    WriteFile(source, "x");
    EXPECT_FALSE(File::Copy(source, PathOf("missing/parent/copy")));
    EXPECT_FALSE(File::Move(source, PathOf("missing/parent/moved")));
    // Not even root can create files here.
    EXPECT_FALSE(File::Copy(source, "/proc/talmex-file-test"));
    EXPECT_FALSE(File::Move(source, "/proc/talmex-file-test"));
    EXPECT_FALSE(File::Delete("/proc/self/status"));
    EXPECT_TRUE(File::Exists(source));
}

class TemporaryDirectoryTest : public testing::Test {
protected:
    void SetUp() override
    {
        const char* saved = std::getenv("TMPDIR");
        _hadTmpdir = saved != nullptr;
        _savedTmpdir = _hadTmpdir ? saved : "";
    }

    void TearDown() override
    {
        if (_hadTmpdir) {
            setenv("TMPDIR", _savedTmpdir.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    bool _hadTmpdir = false;
    std::string _savedTmpdir;
};

TEST_F(TemporaryDirectoryTest, IsTmpdirEndingInASeparator)
{
    setenv("TMPDIR", "/var/tmp/talmex", 1);
    EXPECT_EQ(Talmex::GetTemporaryDirectoryName(), "/var/tmp/talmex/");
    setenv("TMPDIR", "/var/tmp/talmex/", 1);
    EXPECT_EQ(Talmex::GetTemporaryDirectoryName(), "/var/tmp/talmex/");
}

TEST_F(TemporaryDirectoryTest, IsTmpWithoutTmpdir)
{
    unsetenv("TMPDIR");
    EXPECT_EQ(Talmex::GetTemporaryDirectoryName(), "/tmp/");
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(Talmex::GetTemporaryDirectoryName(), "/tmp/");
}

// Upper-case 8-4-4-4-12 text of version 4, with the RFC 4122 variant.
bool IsUuid(const std::string& text)
{
    return MatchesShape(text, "XXXXXXXX-XXXX-4XXX-XXXX-XXXXXXXXXXXX") &&
           std::string("89AB").find(text[19]) != std::string::npos;
}

TEST(TemporaryFileNameTest, IsANewUpperCaseVersion4Uuid)
{
    std::set<std::string> names;
    for (int i = 0; i < 100; ++i) {
        const std::string name = Talmex::GetTemporaryFileName();
        EXPECT_TRUE(IsUuid(name)) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 100u);
}

TEST(TemporaryFileNameTest, PrefixComesFirstWithoutSeparator)
{
    const std::string name = Talmex::GetTemporaryFileName("tmp_");
    ASSERT_EQ(name.size(), 4u + 36u);
    EXPECT_EQ(name.substr(0, 4), "tmp_");
    EXPECT_TRUE(IsUuid(name.substr(4))) << name;
    EXPECT_TRUE(IsUuid(Talmex::GetTemporaryFileName("")));
    EXPECT_NE(Talmex::GetTemporaryFileName("tmp_"), name);
}

} // namespace
