#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillory {

// The Studio host's three published values for the panel: a status line, whether Studio is
// active, and the last failure. Each change, and only a change, is announced after it is made.
class StudioPublishedValues {
  public:
    // Which published value changed.
    enum class Published { status, active, failure };

    // `announce` is read at each change, so its owner may set it at any time.
    explicit StudioPublishedValues(const std::function<void(Published)>& announce)
        : announce_(announce) {}

    const std::optional<std::string>& status() const { return status_; }
    bool active() const { return active_; }
    const std::optional<std::string>& failure() const { return failure_; }

    void setStatus(std::optional<std::string> status);
    void setActive(bool active);
    void setFailure(std::optional<std::string> failure);

  private:
    void announce(Published value) const;

    const std::function<void(Published)>& announce_;
    std::optional<std::string> status_;
    bool active_ = false;
    std::optional<std::string> failure_;
};

}  // namespace quillory
