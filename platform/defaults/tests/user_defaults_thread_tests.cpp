#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/defaults/tests/scratch_directory.h"
#include "platform/defaults/user_defaults.h"

namespace quillory {
namespace {

constexpr int kKeysPerThread = 20;

std::string keyOf(int thread, int index) {
    return "t" + std::to_string(thread) + "-" + std::to_string(index);
}

// Half the threads share one store, half open their own on the same file as another process
// would: every key written by any of them must survive the others' writes.
TEST(UserDefaultsThreads, ConcurrentWritersLoseNoKey) {
    const ScratchDirectory scratch;
    const auto path = scratch.path() / "defaults.json";
    const auto shared = std::make_shared<FileUserDefaults>(path);
    constexpr int kThreads = 8;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread, &path, shared] {
            std::shared_ptr<UserDefaults> store = shared;
            if (thread % 2 == 1) {
                store = std::make_shared<FileUserDefaults>(path);
            }
            for (int index = 0; index < kKeysPerThread; ++index) {
                store->set(keyOf(thread, index), index);
                EXPECT_EQ(store->intValue(keyOf(thread, index)), index);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const FileUserDefaults reopened(path);
    for (int thread = 0; thread < kThreads; ++thread) {
        for (int index = 0; index < kKeysPerThread; ++index) {
            EXPECT_EQ(reopened.intValue(keyOf(thread, index)), index) << keyOf(thread, index);
        }
    }
}

}  // namespace
}  // namespace quillory
