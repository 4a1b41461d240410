#include <gtest/gtest.h>

#include "core/shortcuts/shortcut_binding.h"
#include "core/shortcuts/shortcut_layout.h"

namespace quillory {
namespace {

using A = DrawingAction;
using K = DesktopKey;

TEST(ShortcutBindingTest, HoldDefaultsToTheActionAndKeepsAnExplicitValue) {
    EXPECT_TRUE(ShortcutBinding(A::straightLine, {K::shift}).hold);
    EXPECT_FALSE(ShortcutBinding(A::lasso, {K::l}).hold);
    EXPECT_TRUE(ShortcutBinding(A::eraser, {K::e}, {.hold = true}).hold);
    EXPECT_FALSE(ShortcutBinding(A::pan, {K::space}, {.hold = false}).hold);
    int holding = 0;
    for (const auto action : allCases<DrawingAction>()) {
        holding += holdsByDefault(action) ? 1 : 0;
    }
    EXPECT_EQ(holding, 7);
}

TEST(ShortcutBindingTest, TitleComesFromLabelChordOrAction) {
    EXPECT_EQ(ShortcutBinding(A::brush, {K::b}, {.label = ""}).title(), "Brush");
    EXPECT_EQ(ShortcutBinding(A::brush, {K::b}, {.label = "Ink"}).title(), "Ink");
    EXPECT_EQ(ShortcutBinding(A::picker, {}).title(), "Colour picker");
    EXPECT_EQ(ShortcutBinding(A::swapColors, {}).title(), "Swap colours");
    EXPECT_EQ(ShortcutBinding(A::custom, {K::command, K::shift, K::s}).title(), "⇧⌘S");
    EXPECT_EQ(ShortcutBinding(A::custom, {K::control, K::space}).title(), "⌃ Space");
    const ShortcutBinding empty(A::custom, {});
    EXPECT_EQ(empty.title(), "");
    EXPECT_FALSE(empty.hasKeys());
}

TEST(ShortcutBindingTest, EqualityAndHashCoverEveryField) {
    const ShortcutBinding first(A::undo, {K::control, K::z});
    ShortcutBinding copy = first;
    EXPECT_EQ(copy, first);
    EXPECT_EQ(std::hash<ShortcutBinding>{}(copy), std::hash<ShortcutBinding>{}(first));
    copy.menuPath = std::vector<std::string>{"Edit"};
    EXPECT_NE(copy, first);
    EXPECT_NE(std::hash<ShortcutBinding>{}(copy), std::hash<ShortcutBinding>{}(first));
    EXPECT_NE(ShortcutBinding(A::undo, {K::control, K::z}), first);  // another id
}

TEST(ShortcutBindingTest, JSONRequiresTheFourCoreKeysAndKnownNames) {
    const Json valid = {{"id", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
                        {"action", "undo"},
                        {"keys", {"control", "z"}},
                        {"hold", false},
                        {"label", nullptr}};
    const auto binding = ShortcutBinding::fromJSON(valid);
    ASSERT_TRUE(binding);
    EXPECT_EQ(binding->keys, (std::vector<K>{K::control, K::z}));
    EXPECT_FALSE(binding->label || binding->icon || binding->menuPath);
    const Json written = binding->toJSON();
    EXPECT_EQ(written.size(), 4u);
    EXPECT_EQ(written["id"], "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

    for (const auto& [key, value] : std::vector<std::pair<std::string, Json>>{
             {"action", "Undo"}, {"keys", {"control", "Z"}}, {"hold", "false"}, {"id", "x"}}) {
        Json broken = valid;
        broken[key] = value;
        EXPECT_FALSE(ShortcutBinding::fromJSON(broken)) << key;
    }
    Json withoutHold = valid;
    withoutHold.erase("hold");
    EXPECT_FALSE(ShortcutBinding::fromJSON(withoutHold));

    ShortcutBinding full(A::custom, {K::f5},
                         {.label = "Run", .icon = "play", .menuPath = {{"Go"}}});
    EXPECT_EQ(ShortcutBinding::fromJSON(full.toJSON()), full);
}

TEST(ShortcutLayoutTest, MissingOptionsTakeDefaultsAndAreWrittenBack) {
    const auto layout = ShortcutLayout::fromJSON(Json{{"bindings", Json::array()}});
    ASSERT_TRUE(layout);
    EXPECT_FALSE(layout->labels);
    EXPECT_TRUE(layout->brushSize);
    EXPECT_TRUE(layout->fingerGestures);
    EXPECT_FALSE(layout->pencilDoubleTap || layout->pencilSqueeze);
    const Json written = layout->toJSON();
    EXPECT_EQ(written.size(), 4u);
    EXPECT_TRUE(written.contains("fingerGestures"));

    EXPECT_FALSE(ShortcutLayout::fromJSON(Json{{"labels", true}}));
    const Json oneBad = {{"bindings", {Json::object()}}, {"brushSize", nullptr}};
    EXPECT_FALSE(ShortcutLayout::fromJSON(oneBad));
    const auto partial = ShortcutLayout::fromJSONKeepingReadableBindings(oneBad);
    ASSERT_TRUE(partial);
    EXPECT_FALSE(partial->complete);
    EXPECT_TRUE(partial->layout.bindings.empty());
    EXPECT_TRUE(partial->layout.brushSize);
}

}  // namespace
}  // namespace quillory
