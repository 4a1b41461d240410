#include "platform/dispatch/sequence_checker.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/dispatch/serial_queue.h"

namespace quillory {
namespace {

#ifdef QUILLORY_SEQUENCE_CHECKS
TEST(SequenceCheckerDeathTest, BindsToItsFirstThreadAndAbortsElsewhere) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SequenceChecker checker;
    QUILLORY_CHECK_SEQUENCE(checker);
    EXPECT_DEATH(std::thread([&] { QUILLORY_CHECK_SEQUENCE(checker); }).join(),
                 "called off its sequence: checker");

    checker.detach();
    std::thread([&] { QUILLORY_CHECK_SEQUENCE(checker); }).join();
    EXPECT_FALSE(checker.isCurrent());
}

TEST(SequenceCheckerDeathTest, QueueCheckPassesOnlyOnTheQueue) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SerialQueue queue("app.quillory.test");
    bool ran = false;
    ASSERT_TRUE(queue.sync([&] {
        QUILLORY_CHECK_ON(queue);
        ran = true;
    }));
    EXPECT_TRUE(ran);
    EXPECT_DEATH(QUILLORY_CHECK_ON(queue), "called off its sequence: queue");
}
#else
TEST(SequenceChecker, CostsNothingWithoutChecks) {
    SequenceChecker checker;
    std::thread([&] { EXPECT_TRUE(checker.isCurrent()); }).join();
    EXPECT_TRUE(checker.isCurrent());
    static_assert(sizeof(SequenceChecker) == 1);
}
#endif

}  // namespace
}  // namespace quillory
