#pragma once

#include <cstdlib>
#include <memory>

namespace quillory {

// An XCB reply, which the caller frees with free().
struct FreeX11Reply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using X11Reply = std::unique_ptr<T, FreeX11Reply>;

}  // namespace quillory
