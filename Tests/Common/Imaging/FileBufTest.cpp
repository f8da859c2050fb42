#include "TargaTestImage.h"

#include "Common/File.h"
#include "Common/Imaging/TargaBitmapCoder.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <stb/stb_image.h>

namespace {

namespace fs = std::filesystem;
using Talmex::FileBuf;
using TargaTest::Bytes;
using TargaTest::BytesOf;

TEST(FileBufTest, AppendGrowsAtTheEnd)
{
    FileBuf file;
    EXPECT_EQ(file.Size(), 0u);
    file.Append("ab", 2);
    file.Append(nullptr, 5);
    file.Append("cde", 3);
    EXPECT_EQ(BytesOf(file), (Bytes{'a', 'b', 'c', 'd', 'e'}));
    file.Clear();
    EXPECT_EQ(file.Size(), 0u);
    file.Append("x", 1);
    EXPECT_EQ(BytesOf(file), (Bytes{'x'}));
}

class FileBufWriteTest : public testing::Test {
protected:
    void SetUp() override
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                              "/talmex-filebuf-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        _directory = pattern;
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(_directory, ignored);
    }

    std::string PathOf(const std::string& name) const { return (_directory / name).string(); }

    static Bytes ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static void WriteAll(const std::string& path, const Bytes& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    size_t EntryCount() const
    {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(_directory), fs::directory_iterator()));
    }

    fs::path _directory;
};

TEST_F(FileBufWriteTest, WrittenFileHoldsExactlyTheBody)
{
    FileBuf file;
    Bytes body(70000);
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<unsigned char>(i * 31 + 7);
    }
    file.Append(body.data(), body.size());
    const std::string path = PathOf("out.bin");

    ASSERT_TRUE(file.WriteToFile(path));
    EXPECT_EQ(ReadAll(path), body);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FileBufWriteTest, ReplacesALongerFileWhole)
{
    const std::string path = PathOf("out.bin");
    WriteAll(path, Bytes(100, 'o'));
    FileBuf file;
    file.Append("new", 3);

    ASSERT_TRUE(file.WriteToFile(path));
    EXPECT_EQ(ReadAll(path), (Bytes{'n', 'e', 'w'}));
}

TEST_F(FileBufWriteTest, EmptyBodyMakesAnEmptyFile)
{
    const std::string path = PathOf("empty.bin");
    ASSERT_TRUE(FileBuf().WriteToFile(path));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(FileBufWriteTest, MissingDirectoryOrUnusablePathFails)
{
    FileBuf file;
    file.Append("x", 1);
    EXPECT_FALSE(file.WriteToFile(PathOf("absent/out.bin")));
    EXPECT_FALSE(file.WriteToFile(""));
    // Cut at its zero byte, this path would name another file.
    EXPECT_FALSE(file.WriteToFile(PathOf("out.bin") + std::string(1, '\0') + "x"));
    EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(FileBufWriteTest, DirectoryInTheWayFailsAndLeavesNoTemporary)
{
    const std::string path = PathOf("taken");
    fs::create_directory(path);
    FileBuf file;
    file.Append("x", 1);

    EXPECT_FALSE(file.WriteToFile(path));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FileBufWriteTest, ReplacedFileKeepsItsPermissions)
{
    const std::string path = PathOf("private.bin");
    FileBuf file;
    file.Append("new", 3);
    for (const fs::perms kept : {fs::perms(0600), fs::perms(0751)}) {
        WriteAll(path, Bytes(8, 'o'));
        fs::permissions(path, kept);
        ASSERT_TRUE(file.WriteToFile(path));
        EXPECT_EQ(fs::status(path).permissions(), kept);
    }
}

TEST_F(FileBufWriteTest, SymbolicLinkIsWrittenThroughToItsTarget)
{
    fs::create_directory(_directory / "links");
    const std::string target = PathOf("target.bin");
    WriteAll(target, Bytes(8, 'o'));
    const std::string link = PathOf("links/link");
    fs::create_symlink("../target.bin", link);
    FileBuf file;
    file.Append("new", 3);

    ASSERT_TRUE(file.WriteToFile(link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(target), (Bytes{'n', 'e', 'w'}));

    // A link to nowhere yet makes the file it names.
    const std::string dangling = PathOf("dangling");
    fs::create_symlink("made.bin", dangling);
    ASSERT_TRUE(file.WriteToFile(dangling));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadAll(PathOf("made.bin")), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(EntryCount(), 4u);
}

TEST_F(FileBufWriteTest, NameOfTheLongestLengthIsWritten)
{
    const std::string path = PathOf(std::string(255, 'n'));
    FileBuf file;
    file.Append("new", 3);
    ASSERT_TRUE(file.WriteToFile(path));
    EXPECT_EQ(ReadAll(path), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FileBufWriteTest, EncodedImageReadsBackFromItsFile)
{
    TargaTest::TestImage image(3, 3, 2, 1);
    for (unsigned y = 0; y < 2; ++y) {
        for (unsigned x = 0; x < 3; ++x) {
            unsigned char* bgr = image.PixelAt(x, y);
            bgr[0] = static_cast<unsigned char>(x);                 // blue
            bgr[1] = static_cast<unsigned char>(y);                 // green
            bgr[2] = static_cast<unsigned char>(x < 2 ? 200 : 100); // red
        }
    }
    FileBuf file;
    Talmex::Imaging::TargaBitmapEncoder encoder(file);
    ASSERT_TRUE(encoder.WriteBitmap(image.AsBitmap()));
    const std::string path = PathOf("picture.tga");
    ASSERT_TRUE(file.WriteToFile(path));
    EXPECT_EQ(ReadAll(path), BytesOf(file));

    int width = 0;
    int height = 0;
    int channels = 0;
    unsigned char* rgb = stbi_load(path.c_str(), &width, &height, &channels, 0);
    ASSERT_NE(rgb, nullptr) << stbi_failure_reason();
    const Bytes decoded(rgb, rgb + width * height * channels);
    stbi_image_free(rgb);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(decoded, (Bytes{200, 0, 0, 200, 0, 1, 100, 0, 2, 200, 1, 0, 200, 1, 1, 100, 1, 2}));
}

bool WriteUnderSizeLimit(const FileBuf& file, const std::string& path, rlim_t limitBytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {limitBytes, limitBytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    return file.WriteToFile(path);
}

// A file-size limit makes the write fail part of the way through (the child
// ignores SIGXFSZ, so write reports EFBIG); the old file must survive whole.
TEST_F(FileBufWriteTest, FailedWriteLeavesTheOldFileWhole)
{
    const std::string path = PathOf("image.tga");
    const Bytes old(64, 'o');
    WriteAll(path, old);
    FileBuf file;
    const Bytes body(20000, 'n');
    file.Append(body.data(), body.size());

    EXPECT_EXIT(_exit(WriteUnderSizeLimit(file, path, 4096) ? 1 : 0), testing::ExitedWithCode(0),
                "");
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(EntryCount(), 1u);
}

} // namespace
