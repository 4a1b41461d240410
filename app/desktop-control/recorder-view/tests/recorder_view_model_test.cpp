#include "app/desktop-control/recorder-view/recorder_view_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/desktop-control/recorder/recorder_core.h"
#include "app/desktop-control/recorder/recorder_model.h"

namespace quillory {
namespace {

using K = DesktopKey;

struct StateCase {
    const char* name;
    RecorderState state;
    QString prompt;
    QStringList caps;  // a trailing "?" is the dashed placeholder
    bool clearEnabled;
    bool sending;
};

TEST(RecorderViewModel, PromptCapsAndClearFollowTheState) {
    const StateCase cases[] = {
        {"before any key", {}, "Press the shortcut", {"?"}, false, false},
        {"control and shift held",
         {{K::control, K::shift}, {K::control, K::shift}, std::nullopt},
         "Press the shortcut",
         {"⌃", "⇧", "?"},
         true,
         false},
        {"after a chord, modifiers still held",
         {{K::command}, {K::command}, std::vector<DesktopKey>{K::command, K::leftBracket}},
         "Got it",
         {"⌘", "["},
         false,
         true},
        {"modifiers released after a peak",
         {{}, {K::shift}, std::nullopt},
         "Press the shortcut",
         {"?"},
         false,
         false},
    };
    for (const StateCase& c : cases) {
        RecorderModel model;
        RecorderViewModel view;
        view.setModel(&model);
        model.setState(c.state);
        EXPECT_EQ(view.prompt(), c.prompt) << c.name;
        const QList<KeyCap> caps = view.caps()->caps();
        ASSERT_EQ(caps.size(), c.caps.size()) << c.name;
        for (qsizetype i = 0; i < caps.size(); ++i) {
            EXPECT_EQ(caps[i].text, c.caps[i]) << c.name << " cap " << i;
            EXPECT_EQ(caps[i].placeholder, !c.state.result && i + 1 == caps.size())
                << c.name << " cap " << i;
        }
        EXPECT_EQ(view.clearEnabled(), c.clearEnabled) << c.name;
        EXPECT_EQ(view.explanation().startsWith("Sending"), c.sending) << c.name;
    }
}

TEST(RecorderViewModel, CapsCountCharactersNotBytes) {
    const std::pair<QString, int> cases[] = {
        {"⌘", 22},     {"[", 22},   {"F9", 22},  {"?", 22},  {"⇧", 22},
        {"Space", 15}, {"F10", 15}, {"F12", 15}, {"🇩🇪", 22},  // one flag: two code points, four
                                                              // UTF-16 units
    };
    for (const auto& [text, pixels] : cases) {
        EXPECT_EQ(RecorderViewModel::capPixelSize(text), pixels) << text.toStdString();
    }
}

TEST(RecorderViewModel, FollowsTheModelAndItsName) {
    RecorderModel model;
    RecorderViewModel view;
    QSignalSpy changed(&view, &RecorderViewModel::changed);
    view.setModel(&model);
    model.setAppName(QStringLiteral("GIMP <b>%2</b>"));
    EXPECT_EQ(view.title(), QStringLiteral("Shortcut for GIMP <b>%2</b>"));
    model.setState({{K::option}, {K::option}, std::nullopt});
    EXPECT_EQ(changed.count(), 3);
    view.setModel(nullptr);
    model.setState({});
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(view.clearEnabled(), false);
}

}  // namespace
}  // namespace quillory
