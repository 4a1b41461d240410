#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/dispatch/executor.h"

namespace quillory {

// A completion that may run on any thread and continues on `executor` with the owner, if it still
// exists there.
template <class Arg, class Owner, class Work>
std::function<void(Arg)> hopTo(std::shared_ptr<Executor> executor, std::weak_ptr<Owner> owner,
                               Work work) {
    return [executor = std::move(executor), owner = std::move(owner),
            work = std::move(work)](Arg argument) mutable {
        executor->post([owner, work, argument = std::decay_t<Arg>(std::move(argument))]() mutable {
            if (const auto self = owner.lock()) {
                work(*self, argument);
            }
        });
    };
}

}  // namespace quillory
