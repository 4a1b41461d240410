#include "tools/pad/stroke_script.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/dispatch/testing/manual_executor.h"

namespace quillory::pad {
namespace {

class StrokeScriptTest : public ::testing::Test {
  protected:
    void SetUp() override { MainQueue::install(executor); }
    void TearDown() override { MainQueue::install(nullptr); }

    std::shared_ptr<StrokeScript> script() {
        StrokeScript::Link link;
        link.send = [this](std::vector<PenSample> samples) {
            if (!linked) {
                return false;
            }
            for (const auto& sample : samples) {
                sent.push_back(sample.sequence);
            }
            return true;
        };
        link.drawn = [] {};
        return std::make_shared<StrokeScript>(PadOptions{}, std::make_shared<EventOutput>(true),
                                              std::move(link));
    }

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    bool linked = true;
    std::vector<std::uint64_t> sent;
};

TEST_F(StrokeScriptTest, TypedStrokesGoOutOneSampleAtATimeAndResumeOnceTheLinkIsBack) {
    auto pen = script();
    pen->type(std::vector<PenSample>(3));
    EXPECT_EQ(sent, (std::vector<std::uint64_t>{1}));
    executor->advance(1.0);
    EXPECT_EQ(sent, (std::vector<std::uint64_t>{1, 2, 3}));

    // The link drops in the middle of a stroke: the rest of it is gone.
    pen->type(std::vector<PenSample>(3));
    linked = false;
    executor->advance(1.0);
    EXPECT_EQ(sent.size(), 4u);

    // The next stroke after a reconnect is drawn, numbered on from the last sample sent.
    linked = true;
    pen->type(std::vector<PenSample>(2));
    executor->advance(1.0);
    EXPECT_EQ(sent, (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace quillory::pad
