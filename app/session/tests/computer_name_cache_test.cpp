#include "app/session/computer_name_cache.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quillory {
namespace {

// A lookup that blocks until the test answers it, as a slow hostname1 would, and tells the test
// when it has returned.
class HeldLookUp {
  public:
    QString wait() {
        std::unique_lock lock(mutex_);
        ++started_;
        changed_.wait(lock, [this] { return !answers_.empty(); });
        QString answer = answers_.front();
        answers_.pop_front();
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
    std::deque<QString> answers_;
    int started_ = 0;
};

class ComputerNameCacheTest : public ::testing::Test {
  protected:
    // Unblocks a lookup still running, so that the pool holds nothing of the test at its end.
    void TearDown() override { lookUp_->answer(QString()); }

    // Reads until the cache answers `expected`; each read starts the next lookup once the last
    // one has returned. Bounded by the test's timeout.
    static void readUntil(ComputerNameCache& cache, const QString& expected) {
        while (cache.name() != expected) {
            std::this_thread::yield();
        }
    }

    std::shared_ptr<HeldLookUp> lookUp_ = std::make_shared<HeldLookUp>();
    ComputerNameCache::LookUp held_ = [held = lookUp_] { return held->wait(); };
};

TEST_F(ComputerNameCacheTest, AnswersAtOnceWhileTheLookupHangsThenTakesItsAnswer) {
    ComputerNameCache cache(held_, QStringLiteral("host"));
    // The lookup is stuck: reads return the host name at once and start no second lookup.
    for (int read = 0; read < 3; ++read) {
        EXPECT_EQ(cache.name(), QStringLiteral("host"));
    }
    EXPECT_LE(lookUp_->started(), 1);
    lookUp_->answer(QStringLiteral("Ada's desk"));
    readUntil(cache, QStringLiteral("Ada's desk"));
}

TEST_F(ComputerNameCacheTest, ARenameShowsOnALaterReadAndAnEmptyAnswerKeepsTheName) {
    ComputerNameCache cache(held_, QStringLiteral("host"));
    // The first lookup finds no name source at all; then the computer is renamed.
    lookUp_->answer(QString());
    lookUp_->answer(QStringLiteral("renamed"));
    QString seen;
    while ((seen = cache.name()) != QStringLiteral("renamed")) {
        ASSERT_EQ(seen, QStringLiteral("host"));
        std::this_thread::yield();
    }
    EXPECT_GE(lookUp_->started(), 2);
}

TEST_F(ComputerNameCacheTest, AnAnswerAfterTheCacheIsGoneIsDropped) {
    { ComputerNameCache cache(held_, QStringLiteral("host")); }
    lookUp_->answer(QStringLiteral("late"));  // finds no cache to write into
}

}  // namespace
}  // namespace quillory
