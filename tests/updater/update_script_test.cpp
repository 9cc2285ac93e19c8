#include "updater/core/update_script.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>

#include "fakes.h"
#include "test_support.h"
#include "updater/core/install_path.h"

namespace zel::updater::test {
namespace {

TEST(CutFieldsTest, CutsBetweenMarksAndStaysInsideTheLine) {
    std::string text = "c<a><b c><><d>\nx<e>";
    CStringArray fields;
    ASSERT_TRUE(CutFields(text, 0, 15, 4, fields));
    EXPECT_EQ(fields, (CStringArray{"a", "b c", "", "d"}));
    // The fifth field would need the next line's '>'.
    EXPECT_FALSE(CutFields(text, 0, 15, 5, fields));
    // The byte after the letter and after each '>' is skipped unexamined.
    ASSERT_TRUE(CutFields("dXpath>", 0, 7, 1, fields));
    EXPECT_EQ(fields[0], "path");
    // Lines too short for their first field.
    EXPECT_FALSE(CutFields("c", 0, 1, 1, fields));
    EXPECT_FALSE(CutFields("c\n", 0, 2, 1, fields));
    EXPECT_FALSE(CutFields("c<abc", 0, 5, 1, fields));
    // A '>' right at the line end closes the last field; nothing more fits.
    ASSERT_TRUE(CutFields("c<a>", 0, 4, 1, fields));
    EXPECT_FALSE(CutFields("c<a>", 0, 4, 2, fields));
}

TEST(ParseScriptNumberTest, SignedDecimalModulo32Bits) {
    int value = 0;
    EXPECT_TRUE(ParseScriptNumber("4294967295", value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(ParseScriptNumber("-1", value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(ParseScriptNumber("  +52000x", value));
    EXPECT_EQ(value, 52000);
    EXPECT_TRUE(ParseScriptNumber("4294967296", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(ParseScriptNumber("99999999999999999999999", value));  // wraps, never overflows
    EXPECT_FALSE(ParseScriptNumber("", value));
    EXPECT_FALSE(ParseScriptNumber("abc", value));
    EXPECT_FALSE(ParseScriptNumber(" -", value));
}

class IsOutOfDateTest : public ::testing::Test {
protected:
    std::int64_t Local(int y, int mo, int d, int h, int mi, int s) {
        return *clock.LocalTimeToUnix(y, mo, d, h, mi, s);
    }
    FakeFileSystem files;
    platform::Clock& clock = platform::SystemClock();
};

TEST_F(IsOutOfDateTest, ComparesTheFileWithTheLocalDateOfTheLine) {
    files.times["prog.exe"] = Local(2004, 2, 3, 0, 0, 0);
    EXPECT_FALSE(IsOutOfDate(files, clock, "prog.exe", "01.02.2004", "10:00:00"));  // day first
    files.times["prog.exe"] = Local(2004, 1, 2, 0, 0, 0);
    EXPECT_TRUE(IsOutOfDate(files, clock, "prog.exe", "01.02.2004", "10:00:00"));
    files.times["prog.exe"] = Local(2004, 2, 1, 10, 0, 0);
    EXPECT_FALSE(IsOutOfDate(files, clock, "prog.exe", "01.02.2004", "10:00:00"));  // equal is up to date
    files.times["prog.exe"] = Local(2004, 2, 1, 9, 59, 59);
    EXPECT_TRUE(IsOutOfDate(files, clock, "prog.exe", "01/02/2004", "10-00-00"));  // any one-byte separator
    EXPECT_TRUE(IsOutOfDate(files, clock, "missing.exe", "01.02.2004", "10:00:00"));
}

TEST_F(IsOutOfDateTest, TildeFilesAreJudgedByTheLiveFile) {
    files.times["db/default.tdb"] = Local(2004, 3, 1, 0, 0, 0);
    EXPECT_FALSE(IsOutOfDate(files, clock, "db/~default.tdb", "01.02.2004", "10:00:00"));
    EXPECT_EQ(files.asked.back(), "db/default.tdb");
    EXPECT_TRUE(IsOutOfDate(files, clock, "db/~default.tdb", "01.04.2004", "10:00:00"));
    EXPECT_TRUE(IsOutOfDate(files, clock, "~other.tdb", "01.04.2004", "10:00:00"));
    EXPECT_EQ(files.asked.back(), "other.tdb");
}

TEST_F(IsOutOfDateTest, InvalidDatesLeaveAnExistingFileUpToDate) {
    files.times["a"] = 0;
    for (const char* date : {"32.01.2004", "30.02.2004", "31.04.2004", "29.02.2003", "01.13.2004", "00.01.2004", "",
                             "1.1", "x.1.2004", "01.01.-5"})
        EXPECT_FALSE(IsOutOfDate(files, clock, "a", date, "10:00:00")) << date;
    for (const char* time : {"24:00:00", "10:60:00", "10:00", ""})
        EXPECT_FALSE(IsOutOfDate(files, clock, "a", "01.01.2004", time)) << time;
    EXPECT_TRUE(IsOutOfDate(files, clock, "a", "29.02.2004", "10:00:00"));  // a leap day is a date
    EXPECT_TRUE(IsOutOfDate(files, clock, "b", "garbage", "garbage"));      // missing files are fetched anyway
}

TEST_F(IsOutOfDateTest, DaylightSavingIsDecidedByTheSystem) {
    auto tz = std::make_unique<ScopedEnv>("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
    // 1 July 2004 12:00 in summer time is 10:00 UTC; 1 January 12:00 is 11:00 UTC.
    EXPECT_EQ(Local(2004, 7, 1, 12, 0, 0), 1088676000);
    EXPECT_EQ(Local(2004, 1, 1, 12, 0, 0), 1072954800);
    files.times["a"] = 1088676000 - 1;
    EXPECT_TRUE(IsOutOfDate(files, clock, "a", "01.07.2004", "12:00:00"));
    files.times["a"] = 1088676000;
    EXPECT_FALSE(IsOutOfDate(files, clock, "a", "01.07.2004", "12:00:00"));
    tz.reset();
    tzset();
}

TEST(InstallPathTest, ScriptPathsAreReadAsRelativeFoldersWithBackslashes) {
    const std::pair<std::string, std::string> taken[] = {
        {"a.exe", "a.exe"},
        {"plugins\\x.dll", "plugins/x.dll"},
        {"./a//b\\.\\c", "a/b/c"},
        {"...", "..."},
        {"1:x", "1:x"},
        {"dir/", "dir"},
    };
    for (const auto& [script, relative] : taken) {
        CString normalised;
        EXPECT_EQ(NormaliseScriptPath(script, normalised), PathRefusal::none) << script;
        EXPECT_EQ(normalised, relative);
    }
    const std::pair<std::string, PathRefusal> refused[] = {
        {"", PathRefusal::notAName},
        {".", PathRefusal::notAName},
        {std::string("a\0/..", 5), PathRefusal::notAName},  // what the system would read is "a"
        {"/etc/x", PathRefusal::absolute},
        {"\\\\server\\share\\x", PathRefusal::absolute},
        {"c:x", PathRefusal::driveLetter},
        {"Z:\\x", PathRefusal::driveLetter},
        {"..", PathRefusal::parentFolder},
        {"a/../b", PathRefusal::parentFolder},
        {"a\\..\\..\\b", PathRefusal::parentFolder},
    };
    for (const auto& [script, refusal] : refused) {
        CString normalised = "stale";
        EXPECT_EQ(NormaliseScriptPath(script, normalised), refusal) << script;
        EXPECT_EQ(normalised, "");
    }
}

}  // namespace
}  // namespace zel::updater::test
