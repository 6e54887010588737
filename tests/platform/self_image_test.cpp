#include "platform/self_image.h"

#include <gtest/gtest.h>

#include "platform/host_facts.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(SelfImage, ModulePathNamesTheRunningProgramAndItsCopyHoldsTheSameBytes) {
    platform::SetHostFacts({});
    const std::string module = platform::GetModuleFileName();
    const auto hostModule = platform::ToHostPath(module);
    ASSERT_TRUE(hostModule) << module;
    EXPECT_NE(hostModule->find("tolbe_platform_tests"), std::string::npos) << *hostModule;

    tolbe_test::TempDir temp;
    const std::string copy = temp.Join("vasktolbe.exe");
    ASSERT_TRUE(platform::CopyRunningExecutable(platform::ToWindowsPath(copy)));
    EXPECT_EQ(tolbe_test::ReadHostFile(copy), tolbe_test::ReadHostFile(*hostModule));
    // An existing file in the copy's place is replaced.
    tolbe_test::WriteHostFile(copy, "an older launcher");
    ASSERT_TRUE(platform::CopyRunningExecutable(platform::ToWindowsPath(copy)));
    EXPECT_EQ(tolbe_test::ReadHostFile(copy), tolbe_test::ReadHostFile(*hostModule));
}

}  // namespace
