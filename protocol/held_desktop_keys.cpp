#include "protocol/held_desktop_keys.h"

#include <algorithm>

namespace quillory {
namespace {

void putNonModifiersFirst(std::vector<DesktopKey>& keys) {
    std::stable_partition(keys.begin(), keys.end(),
                          [](DesktopKey key) { return !isModifier(key); });
}

}  // namespace

bool HeldDesktopKeys::heldByAnyHold(DesktopKey key) const {
    return std::any_of(holds_.begin(), holds_.end(), [&](const Hold& hold) {
        return std::find(hold.keys.begin(), hold.keys.end(), key) != hold.keys.end();
    });
}

std::vector<DesktopKey> HeldDesktopKeys::begin(const Uuid& token,
                                               std::span<const DesktopKey> chord) {
    const bool known = std::any_of(holds_.begin(), holds_.end(),
                                   [&](const Hold& hold) { return hold.token == token; });
    if (known || holds_.size() >= maxHolds) {
        return {};
    }
    std::vector<DesktopKey> press;
    for (const DesktopKey key : chord) {
        if (!heldByAnyHold(key) && std::find(press.begin(), press.end(), key) == press.end()) {
            press.push_back(key);
        }
    }
    std::stable_partition(press.begin(), press.end(),
                          [](DesktopKey key) { return isModifier(key); });
    holds_.push_back({token, {chord.begin(), chord.end()}});
    return press;
}

std::vector<DesktopKey> HeldDesktopKeys::end(const Uuid& token) {
    const auto found = std::find_if(holds_.begin(), holds_.end(),
                                    [&](const Hold& hold) { return hold.token == token; });
    if (found == holds_.end()) {
        return {};
    }
    const std::vector<DesktopKey> chord = std::move(found->keys);
    holds_.erase(found);
    std::vector<DesktopKey> release;
    for (auto key = chord.rbegin(); key != chord.rend(); ++key) {
        if (!heldByAnyHold(*key) &&
            std::find(release.begin(), release.end(), *key) == release.end()) {
            release.push_back(*key);
        }
    }
    putNonModifiersFirst(release);
    return release;
}

std::vector<DesktopKey> HeldDesktopKeys::releaseAll() {
    std::vector<DesktopKey> release;
    for (const Hold& hold : holds_) {
        for (const DesktopKey key : hold.keys) {
            if (std::find(release.begin(), release.end(), key) == release.end()) {
                release.push_back(key);
            }
        }
    }
    holds_.clear();
    putNonModifiersFirst(release);
    return release;
}

}  // namespace quillory
