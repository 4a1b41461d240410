#include "app/session/computer_name_cache.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_main_executor.h"

namespace quillory {
namespace {

// A lookup that blocks until the test answers it, as a slow hostname1 would.
class HeldLookUp {
  public:
    QString wait() {
        std::unique_lock lock(mutex_);
        ++started_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !answers_.empty(); });
        QString answer = answers_.front();
        answers_.erase(answers_.begin());
        return answer;
    }
    void answer(const QString& name) {
        std::lock_guard lock(mutex_);
        answers_.push_back(name);
        changed_.notify_all();
    }
    int started() {
        std::lock_guard lock(mutex_);
        return started_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<QString> answers_;
    int started_ = 0;
};

class ComputerNameCacheTest : public ::testing::Test {
  protected:
    void SetUp() override { MainQueue::install(main_); }
    void TearDown() override {
        // Lets a lookup still running finish, so that the pool holds no reference to the test.
        lookUp_->answer(QString());
        lookUp_->answer(QString());
    }

    // Runs main-queue work until the cache answers `expected` (bounded by the executor's wait).
    bool settlesTo(ComputerNameCache& cache, const QString& expected) {
        for (int round = 0; round < 200; ++round) {
            main_->runUntilIdle();
            if (cache.name() == expected) {
                return true;
            }
            main_->waitForWork(0.05);
        }
        return false;
    }

    std::shared_ptr<ManualMainExecutor> main_ = std::make_shared<ManualMainExecutor>();
    std::shared_ptr<HeldLookUp> lookUp_ = std::make_shared<HeldLookUp>();
};

TEST_F(ComputerNameCacheTest, AnswersAtOnceWhileTheLookupHangsThenTakesItsAnswer) {
    auto cache = ComputerNameCache::create([held = lookUp_] { return held->wait(); },
                                           QStringLiteral("host"));
    // The lookup is stuck: reads return the host name at once and start no second lookup.
    for (int read = 0; read < 3; ++read) {
        EXPECT_EQ(cache->name(), QStringLiteral("host"));
    }
    EXPECT_LE(lookUp_->started(), 1);
    lookUp_->answer(QStringLiteral("Ada's desk"));
    EXPECT_TRUE(settlesTo(*cache, QStringLiteral("Ada's desk")));
    EXPECT_LE(lookUp_->started(), 2);
}

TEST_F(ComputerNameCacheTest, ARenameShowsOnALaterReadAndAnEmptyAnswerKeepsTheName) {
    auto cache = ComputerNameCache::create([held = lookUp_] { return held->wait(); },
                                           QStringLiteral("host"));
    lookUp_->answer(QStringLiteral("first"));
    ASSERT_TRUE(settlesTo(*cache, QStringLiteral("first")));
    // settlesTo's last read started a lookup; it finds no name source at all.
    lookUp_->answer(QString());
    ASSERT_TRUE(main_->waitForWork(5));
    main_->runUntilIdle();
    EXPECT_EQ(cache->name(), QStringLiteral("first"));
    lookUp_->answer(QStringLiteral("renamed"));
    EXPECT_TRUE(settlesTo(*cache, QStringLiteral("renamed")));
}

TEST_F(ComputerNameCacheTest, AnAnswerAfterTheCacheIsGoneIsDropped) {
    std::weak_ptr<ComputerNameCache> gone;
    {
        auto cache = ComputerNameCache::create([held = lookUp_] { return held->wait(); },
                                               QStringLiteral("host"));
        gone = cache;
    }
    EXPECT_TRUE(gone.expired());
    lookUp_->answer(QStringLiteral("late"));
    main_->waitForWork(5);
    main_->runUntilIdle();  // the late answer finds nothing to write into
}

}  // namespace
}  // namespace quillory
