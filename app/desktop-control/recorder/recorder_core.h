#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dispatch/timer.h"
#include "protocol/desktop_key.h"

namespace quillory {

class Keymap;
class Executor;

// What the panel shows: the modifiers held now, the most held together since the last reset, and
// the chord once there is one.
struct RecorderState {
    std::vector<DesktopKey> live;
    std::vector<DesktopKey> peak;
    std::optional<std::vector<DesktopKey>> result;
    friend bool operator==(const RecorderState&, const RecorderState&) = default;
};

// The window side of a recording: the panel, its key monitor and the focus it takes and gives
// back.
class RecorderSurface {
  public:
    virtual ~RecorderSurface() = default;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual void beep() = 0;
    virtual void stateChanged(const RecorderState& state) = 0;
};

// The recording state machine, on the main queue. One recording at a time; its callback is called
// at most once: with the chord, or with none when cancelled or timed out, never after a silent
// stop or a replacing start.
class RecorderCore : public std::enable_shared_from_this<RecorderCore> {
  public:
    using Finish = std::function<void(std::optional<std::vector<DesktopKey>>)>;

    static constexpr double timeoutSeconds = 30;
    static constexpr double handOverSeconds = 0.7;

    // `surface` must outlive the core.
    RecorderCore(std::shared_ptr<Executor> executor, RecorderSurface& surface);

    void start(Finish finish);
    void stop(bool notify);

    // A key other than a modifier went down with `held` modifiers.
    void keyDown(std::uint16_t evdevCode, bool isRepeat, const std::vector<DesktopKey>& held,
                 const Keymap* keymap);
    // A key went down that no chord can name as typed (with AltGr held): the recording goes on.
    void keyRefused(bool isRepeat);
    // The held modifiers changed (one modifier key pressed or released).
    void modifiersChanged(const std::vector<DesktopKey>& held);
    // Clear: forget the keys seen so far and keep recording.
    void reset();

    bool isRecording() const { return finish_ != nullptr || surfaceOpen_; }
    const RecorderState& state() const { return state_; }

  private:
    void complete(std::vector<DesktopKey> chord);
    void deliver(std::vector<DesktopKey> chord);  // a copy: stopping drops the timer holding it
    void setState(RecorderState state);
    void armTimeout();

    std::shared_ptr<Executor> executor_;
    RecorderSurface& surface_;
    RecorderState state_;
    Finish finish_;
    bool surfaceOpen_ = false;
    Timer timeout_;
    Timer handOver_;
};

}  // namespace quillory
