#pragma once

#include <optional>
#include <vector>

#include "protocol/desktop_key.h"
#include "protocol/json_codec.h"
#include "protocol/uuid.h"

namespace quillory {

// A key action of the tablet for one desktop context: a tap, the begin or end of a held chord
// (by token), releasing every hold, or a keep-alive of the holds.
struct DesktopAction {
    enum class Kind { tap, begin, end, releaseAll, keepAlive };

    Uuid contextID;
    std::optional<Uuid> studioID;
    Kind kind = Kind::tap;
    std::optional<Uuid> token;
    std::vector<DesktopKey> keys;

    // Keys empty or a valid chord; "tap" and "begin" need a chord; "begin" and "end" a token.
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("contextID", self.contextID);
        visit("studioID", self.studioID);
        visit("kind", self.kind);
        visit("token", self.token);
        visit("keys", self.keys);
    }

    Json toJSON() const;
    static std::optional<DesktopAction> fromJSON(const Json& json);

    friend bool operator==(const DesktopAction&, const DesktopAction&) = default;
};

template <>
struct RawValues<DesktopAction::Kind> {
    static constexpr std::array<std::string_view, 5> names{"tap", "begin", "end", "releaseAll",
                                                           "keepAlive"};
};

}  // namespace quillory
