#include "Common/File.h"

#include <climits>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

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

} // namespace
