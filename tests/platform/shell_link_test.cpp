// The shortcut reader on shortcuts that Wine's shell-link implementation wrote.
#include "platform/shell_link.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using zel::platform::ParseShellLink;
using zel::platform::ReadShortcutTarget;

const std::filesystem::path kShortcuts = std::filesystem::path(ZEL_SHARED_DIR) / "shortcuts";

std::string Bytes(const std::string& name) {
    auto path = kShortcuts / name;
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(std::filesystem::file_size(path)), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

TEST(ShellLink, TargetsAreWhatWinesGetPathReturned) {
    const std::pair<const char*, const char*> cases[] = {
        {"a_exists.lnk", "C:\\windows\\a.exe"},
        {"b_args_workdir.lnk", "C:\\Program Files\\Tool\\tool.exe"},
        {"b2_all_strings.lnk", "C:\\Program Files\\Tool\\tool.exe"},
        {"b3_relpath.lnk", "C:\\Program Files\\Tool\\tool.exe"},
        {"c_case_upper.lnk", "C:\\WINDOWS\\A.EXE"},
        {"d_missing_file.lnk", "C:\\windows\\missing.exe"},
        {"d2_missing_dir.lnk", "C:\\nodir\\ghost.exe"},
        {"e_unicode_ansi.lnk",
         "C:\\users\\Public\\\xDCn\xEF"
         "code\\b.exe"},
        {"e_unicode_w.lnk",
         "C:\\users\\Public\\\xDCn\xEF"
         "code\\b.exe"},
        {"e2_unicode_cjk_w.lnk", "C:\\users\\Public\\Omega??\\d.exe"},
        {"f_zdrive.lnk", "Z:\\tmp\\lnk-research\\c.exe"},
        {"g_directory.lnk", "C:\\Program Files\\Tool"},
        {"h_idlist_parse.lnk", "C:\\windows\\a.exe"},
        {"h2_idlist_ilcreate.lnk", "C:\\windows\\a.exe"},
        {"h3_idlist_mycomputer.lnk", ""},
        {"i_unc_missing.lnk", "\\\\server\\share\\dir\\x.exe"},
        {"j_relative.lnk", "Z:\\tmp\\lnk-research\\relative\\r.exe"},
        {"k_derived_idlist_only.lnk", ""},
        {"l_derived_linkinfo_only.lnk", "C:\\windows\\a.exe"},
        {"x1_truncated_0x30.lnk", ""},
        {"x2_bad_header_size.lnk", ""},
        {"x3_linkinfo_size_past_end.lnk", ""},
    };
    for (const auto& [file, target] : cases) {
        EXPECT_EQ(ReadShortcutTarget((kShortcuts / file).string()), target) << file;
    }
    EXPECT_EQ(ReadShortcutTarget((kShortcuts / "missing.lnk").string()), "");
    EXPECT_EQ(ReadShortcutTarget((kShortcuts / "README.md").string()), "");
}

TEST(ShellLink, StringsDropTheZeroWineCounts) {
    auto link = ParseShellLink(Bytes("b2_all_strings.lnk"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->name, "Tool description");
    EXPECT_EQ(link->arguments, "/q /x \"quoted arg\"");
    EXPECT_EQ(link->working_dir, "C:\\Program Files\\Tool");
    EXPECT_EQ(link->relative_path, "");
}

TEST(ShellLink, EveryTruncationIsRejectedOrKeepsTheWholeTarget) {
    std::string bytes = Bytes("b2_all_strings.lnk");
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        auto link = ParseShellLink(std::string_view(bytes).substr(0, size));
        if (link) {
            EXPECT_EQ(link->target, "C:\\Program Files\\Tool\\tool.exe") << size;
        }
    }
}

TEST(ShellLink, UnicodeAndNetworkFormsOfLinkInfo) {
    // A hand-made shortcut: no ID list, LinkInfo with a Unicode base path and suffix.
    std::string bytes = Bytes("l_derived_linkinfo_only.lnk").substr(0, 0x4C);
    bytes[0x14] = 0x02;  // HasLinkInfo only
    std::string info(0x24, '\0');
    auto put32 = [](std::string& s, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    std::u16string base = u"C:\\D\u00e9j\u00e0";
    std::u16string suffix = u"x.exe";
    std::string tail;
    for (char16_t c : base + u'\0' + suffix + u'\0') {
        tail += static_cast<char>(c & 0xFF);
        tail += static_cast<char>(c >> 8);
    }
    put32(info, 4, 0x24);
    put32(info, 8, 0x01);
    put32(info, 16, 0x23);  // ANSI base path: the zero byte just before the Unicode strings
    put32(info, 24, 0x23);
    put32(info, 28, 0x24);
    put32(info, 32, 0x24 + static_cast<std::uint32_t>(2 * (base.size() + 1)));
    info += tail;
    put32(info, 0, static_cast<std::uint32_t>(info.size()));
    auto link = ParseShellLink(bytes + info + std::string(4, '\0'));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, "C:\\D\xe9j\xe0\\x.exe");
    // An offset pointing outside the structure is damage.
    put32(info, 28, 0x1000);
    EXPECT_FALSE(ParseShellLink(bytes + info));
}

}  // namespace
