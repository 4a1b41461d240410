#include "app/studio/studio_published_values.h"

#include <utility>

namespace quillory {

void StudioPublishedValues::setStatus(std::optional<std::string> status) {
    if (status_ == status) {
        return;
    }
    status_ = std::move(status);
    announce(Published::status);
}

void StudioPublishedValues::setActive(bool active) {
    if (active_ == active) {
        return;
    }
    active_ = active;
    announce(Published::active);
}

void StudioPublishedValues::setFailure(std::optional<std::string> failure) {
    if (failure_ == failure) {
        return;
    }
    failure_ = std::move(failure);
    announce(Published::failure);
}

void StudioPublishedValues::announce(Published value) const {
    if (announce_) {
        announce_(value);
    }
}

}  // namespace quillory
