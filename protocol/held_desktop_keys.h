#pragma once

#include <cstddef>
#include <vector>

#include "protocol/desktop_key.h"
#include "protocol/uuid.h"

namespace quillory {

// The chords a tablet holds down, by hold token. A key shared by several holds is pressed once
// and released only when its last hold ends.
class HeldDesktopKeys {
  public:
    static constexpr std::size_t maxHolds = 16;

    struct Hold {
        Uuid token;
        std::vector<DesktopKey> keys;
    };

    // The keys to press: the chord's keys no other hold has down, modifiers first. Nothing when
    // the token is already held or 16 holds exist.
    std::vector<DesktopKey> begin(const Uuid& token, std::span<const DesktopKey> chord);
    // The keys to release: the hold's keys no remaining hold has down, in reverse chord order with
    // non-modifiers before modifiers. Nothing for an unknown token.
    std::vector<DesktopKey> end(const Uuid& token);
    // Every held key once, non-modifiers before modifiers; no hold remains.
    std::vector<DesktopKey> releaseAll();

    // In the order they began.
    const std::vector<Hold>& holds() const { return holds_; }
    bool empty() const { return holds_.empty(); }

  private:
    bool heldByAnyHold(DesktopKey key) const;
    std::vector<Hold> holds_;
};

}  // namespace quillory
