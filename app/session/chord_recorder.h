#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "protocol/desktop_key.h"

namespace quillory {

// Records one key chord for the tablet. `finish` gets the chord, or none when the recording was
// refused, cancelled or timed out. Main thread.
class ChordRecorder {
  public:
    using Finish = std::function<void(std::optional<std::vector<DesktopKey>>)>;

    virtual ~ChordRecorder() = default;
    // Replaces a running recording without calling its `finish`.
    virtual void start(const QString& appName, const QImage& icon, Finish finish) = 0;
    // Ends any recording; with `notify` its `finish` gets none.
    virtual void stop(bool notify) = 0;
};

// Until the recorder panel exists: every recording ends at once without a chord.
class CancellingChordRecorder final : public ChordRecorder {
  public:
    void start(const QString&, const QImage&, Finish finish) override {
        if (finish) {
            finish(std::nullopt);
        }
    }
    void stop(bool) override {}
};

}  // namespace quillory
