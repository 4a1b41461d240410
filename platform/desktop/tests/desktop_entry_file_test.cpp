#include "platform/desktop/desktop_entry_file.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace quillory {
namespace {

const std::vector<std::vector<std::string>> hostileCommands = {
    {"/usr/bin/quillory"},
    {"/home/ann/My Apps/quillory", "--flag"},
    {"/opt/100% pure/quillory", "50%"},
    {"/tmp/say \"hi\"/q", "it's"},
    {"/tmp/back\\slash\\\\/q"},
    {"/tmp/$HOME and `date`/q", "$(id)"},
    {"/tmp/Überprüfung ✓/ツール", "naïve"},
    {"/tmp/tab\tand\nnewline/q", ""},
    {"  leading and trailing  "},
};

TEST(DesktopEntryFile, ExecSurvivesOurOwnRoundTrip) {
    for (const auto& arguments : hostileCommands) {
        DesktopEntryFile file;
        file.setString("Name", "Quillory");
        file.setExec(arguments);
        auto parsed = DesktopEntryFile::parse(file.serialize());
        ASSERT_TRUE(parsed) << parsed.error();
        EXPECT_EQ(parsed.value().exec(), arguments) << file.serialize();
    }
}

// GLib reads the entries the desktop reads: its string and shell parsers must agree with ours.
TEST(DesktopEntryFile, GLibReadsWhatWeWrite) {
    for (const auto& arguments : hostileCommands) {
        DesktopEntryFile file;
        file.setExec(arguments);
        const std::string text = file.serialize();
        GKeyFile* keys = g_key_file_new();
        ASSERT_TRUE(
            g_key_file_load_from_data(keys, text.c_str(), text.size(), G_KEY_FILE_NONE, nullptr));
        gchar* exec = g_key_file_get_string(keys, "Desktop Entry", "Exec", nullptr);
        ASSERT_NE(exec, nullptr) << text;
        // GLib leaves "%%" to the launcher; undo it the way the launcher does.
        std::string command = exec;
        for (auto at = command.find("%%"); at != std::string::npos; at = command.find("%%", at)) {
            command.erase(at++, 1);
        }
        gint count = 0;
        gchar** argv = nullptr;
        ASSERT_TRUE(g_shell_parse_argv(command.c_str(), &count, &argv, nullptr)) << text;
        std::vector<std::string> parsed(argv, argv + count);
        EXPECT_EQ(parsed, arguments) << text;
        g_strfreev(argv);
        g_free(exec);
        g_key_file_free(keys);
    }
}

TEST(DesktopEntryFile, StringsKeepEveryEscape) {
    for (const std::string value : {"plain", " lead", "trail ", "a\\b", "x\ny\tz\r", "", "  "}) {
        EXPECT_EQ(unescapeDesktopString(escapeDesktopString(value)), value);
    }
    EXPECT_EQ(unescapeDesktopString("a\\sb"), "a b");
    for (const char* broken : {"bad\\q", "end\\", "\\x41"}) {
        EXPECT_FALSE(unescapeDesktopString(broken)) << broken;
    }
}

TEST(DesktopEntryFile, SplitsExecByTheRules) {
    using Args = std::vector<std::string>;
    const std::vector<std::pair<std::string, std::optional<Args>>> cases = {
        {"quillory %U", Args{"quillory"}},
        {"  a   b  ", Args{"a", "b"}},
        {"a --name=%c", Args{"a", "--name="}},
        {"\"a b\" \"\"", Args{"a b", ""}},
        {"\"a\\\\b\"", Args{"a\\b"}},
        {"a 100%%", Args{"a", "100%"}},
        {"\"unclosed", std::nullopt},
        {"\"a\"b", std::nullopt},
        {"a\"b\"", std::nullopt},
        {"\"bad \\q escape\"", std::nullopt},
        {"a %z", std::nullopt},
        {"a 5%", std::nullopt},
        {"", Args{}},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(splitExec(value), expected) << value;
    }
}

TEST(DesktopEntryFile, ReadsOnlyTheEntryGroup) {
    const auto parsed = DesktopEntryFile::parse(
        "# comment\n\n[Desktop Entry]\r\nName = Paint\nName[de]=Malen\nExec=paint\n"
        "Hidden=true\nName=Second\n[Desktop Action new]\nExec=other\n[Desktop Entry]\nIcon=x\n");
    ASSERT_TRUE(parsed) << parsed.error();
    const DesktopEntryFile& file = parsed.value();
    EXPECT_EQ(file.string("Name"), "Paint");
    EXPECT_EQ(file.string("Name[de]"), "Malen");
    EXPECT_EQ(file.exec(), std::vector<std::string>{"paint"});
    EXPECT_EQ(file.boolean("Hidden"), true);
    EXPECT_FALSE(file.string("Icon"));
    EXPECT_FALSE(file.boolean("Name"));
}

TEST(DesktopEntryFile, RefusesGarbledText) {
    for (const char* text : {"Name=x\n[Desktop Entry]\n", "[Desktop Entry]\njust words\n",
                             "[Desktop Entry\nName=x\n", "[Other]\nName=x\n", "", "\x7f\x45LF"}) {
        EXPECT_FALSE(DesktopEntryFile::parse(text)) << text;
    }
}

TEST(DesktopEntryFile, PassesTheValidator) {
    if (std::system("command -v desktop-file-validate >/dev/null") != 0) {
        GTEST_SKIP() << "desktop-file-validate is not installed";
    }
    DesktopEntryFile file;
    file.setString("Type", "Application");
    file.setString("Name", "Quillory");
    file.setString("Icon", "quillory");
    file.setExec({"/opt/My Apps/100%/quillory"});
    file.setBoolean("X-GNOME-Autostart-enabled", true);
    const std::string path =
        testing::TempDir() + "quillory-validate-" + std::to_string(getpid()) + ".desktop";
    std::ofstream(path) << file.serialize();
    EXPECT_EQ(std::system(("desktop-file-validate " + path).c_str()), 0) << file.serialize();
    std::remove(path.c_str());
}

}  // namespace
}  // namespace quillory
