#include "app/studio/bench/glass_bench_senders.h"

#include <iostream>
#include <mutex>
#include <string>

namespace quillory::bench {

void emitLine(const Json& line) {
    static std::mutex lock;
    const std::string text = line.dump() + "\n";
    std::lock_guard hold(lock);
    std::cout << text << std::flush;
}

}  // namespace quillory::bench
