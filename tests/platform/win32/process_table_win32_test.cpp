// The Windows process table on both interfaces: a program of ours, started under a name outside the
// ANSI code page, is listed, named by its exact path, known as our child and ended; the calling
// process is never ended.
#include "platform/win32/process_table_win32.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win32/wide_text.h"
#include "tests/platform/win32/test_program.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace zel::platform;

class ProcessTableWin32 : public ::testing::TestWithParam<ProcessInterface> {};

TEST_P(ProcessTableWin32, FindsOurChildByItsPathAndEndsOnlyIt) {
    zel::testing::TempDir temp;
    zel::testing::TestProgram program(temp.path());
    ASSERT_TRUE(program.Start());
    Win32ProcessTable table(GetParam());

    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(table.ListIds(ids));
    EXPECT_NE(std::find(ids.begin(), ids.end(), program.id()), ids.end());
    EXPECT_NE(std::find(ids.begin(), ids.end(), table.OwnId()), ids.end());
    std::string path;
    ASSERT_TRUE(table.ProgramPath(program.id(), path));
    EXPECT_EQ(path, zel::platform::win32::Utf8FromWide(program.path().wstring()));
    std::uint32_t parent = 0;
    ASSERT_TRUE(table.ParentId(program.id(), parent));
    EXPECT_EQ(parent, table.OwnId());
    ASSERT_TRUE(table.ProgramPath(table.OwnId(), path));
    EXPECT_EQ(path, table.OwnPath());

    EXPECT_FALSE(table.Terminate(table.OwnId()));
    EXPECT_FALSE(table.Terminate(0));
    EXPECT_EQ(program.Wait(0), -1);
    ASSERT_TRUE(table.Terminate(program.id()));
    EXPECT_EQ(program.Wait(5000), 1);
    EXPECT_FALSE(table.ProgramPath(program.id(), path));
}

INSTANTIATE_TEST_SUITE_P(Interfaces, ProcessTableWin32,
                         ::testing::Values(ProcessInterface::kProcessStatus, ProcessInterface::kToolHelp),
                         [](const auto& param_info) {
                             return param_info.param == ProcessInterface::kProcessStatus ? "ProcessStatus" : "ToolHelp";
                         });

TEST(ProcessTableWin32Family, WineAndEveryCurrentWindowsAreOfTheNtFamily) { EXPECT_TRUE(IsWindowsNtFamily()); }

}  // namespace
