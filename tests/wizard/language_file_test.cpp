// Language files: what they replace, what they keep, and which files are refused whole.
#include <gtest/gtest.h>

#include "updater/core/language_file.h"
#include "updater/core/update_strings.h"
#include "updater/core/wizard_strings.h"

namespace zel::updater {
namespace {

TEST(LanguageFileTest, StringsAndDialogTextsReplaceTheBuiltInOnes) {
    CLanguage language;
    std::string error;
    ASSERT_TRUE(
        language.Parse("\xEF\xBB\xBF# comment\r\n\r\n108=Verbinde...\r\n119=Fertig\n"
                       "130.1002=&Standard \\\\ \\t x\n132.0=Titel\n61276=Kein Skript.\\nAnderer Server?",
                       error))
        << error;
    EXPECT_EQ(language.String(IDS_CONNECTING), "Verbinde...");
    EXPECT_EQ(language.String(IDS_ENTRY_STATUS), "Fertig");  // has no built-in text
    EXPECT_EQ(language.String(IDS_COMPLETE), "Complete");    // not translated: built in
    EXPECT_EQ(language.String(999), "");
    EXPECT_EQ(language.DialogText(130, 1002, "x"), "&Standard \\ \t x");
    EXPECT_EQ(language.DialogText(132, 0, "x"), "Titel");
    EXPECT_EQ(language.DialogText(131, 0, "built in"), "built in");
    // A core text is found by its built-in wording.
    EXPECT_EQ(language.Translate(LoadUpdateString(IDS_NO_SCRIPT)), "Kein Skript.\nAnderer Server?");
    EXPECT_EQ(language.Translate("Complete"), "Complete");
    EXPECT_EQ(language.Translate("404 Not Found"), "404 Not Found");
    EXPECT_EQ(language.Translate(""), "");
    EXPECT_EQ(language.String(IDS_NOT_AN_INTEGER), "Please enter an integer.");
}

TEST(LanguageFileTest, AnyMalformedLineRefusesTheWholeFile) {
    const char* bad[] = {
        "103=ok\nno equals sign\n",
        "x=text\n",
        "103.=text\n",
        ".5=text\n",
        "1.2.3=text\n",
        "-5=text\n",
        "103=bad escape \\q\n",
        "103=ends in a backslash \\",
        "1234567890=too long a number\n",
        "103=\xC3\x28 invalid UTF-8\n",
        "103=\xED\xA0\x80 surrogate\n",
        "103=\xC0\xAF overlong\n",
    };
    for (const char* text : bad) {
        CLanguage language;
        std::string error;
        ASSERT_TRUE(language.Parse("104=kept before\n", error));
        EXPECT_FALSE(language.Parse(text, error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(language.String(IDS_INVALID_URL), "kept before") << text;  // the old texts stay
    }
    CLanguage language;
    std::string error;
    EXPECT_FALSE(language.Parse("# ok\n\n103 = spaced key\n", error));
    EXPECT_EQ(error, "line 3: the key is not a string number");
}

TEST(LanguageFileTest, TheShippedTranslationReadsAndCoversEveryText) {
    CLanguage language;
    std::string error;
    ASSERT_TRUE(language.LoadFile(std::string(ZEL_SOURCE_DIR) + "/updater/wizard/zelupdate.ger", error)) << error;
    for (const auto& [id, text] : BuiltInStrings()) {
        if (!text.empty()) {
            EXPECT_NE(language.String(id), text) << id;
        }
    }
    EXPECT_NE(language.DialogText(130, 1002, "x"), "x");
    EXPECT_NE(language.DialogText(132, 1014, "x"), "x");
    EXPECT_FALSE(language.LoadFile("/nonexistent/zelupdate.ger", error));
}

}  // namespace
}  // namespace zel::updater
