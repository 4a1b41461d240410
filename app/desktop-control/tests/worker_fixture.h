#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>

#include "app/desktop-control/desktop_input_worker.h"
#include "platform/clock/testing/fake_clock.h"
#include "platform/desktop/testing/fake_desktop.h"
#include "platform/input/recording_input_sink.h"
#include "platform/keyboard/keymap.h"

namespace quillory::testing {

using Phase = PenSample::Phase;
using T = InputEventType;

// Records every event; runs a hook on the input queue at the n-th event, so a test can act while
// a batch is midway, or hold the queue there: `held` is set, then it waits for `release`.
class HookedSink final : public InputEventSink {
  public:
    void post(const InputEvent& event) override {
        recording.post(event);
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex_);
            if (hookAt_ == recording.count()) {
                hook = std::exchange(hook_, nullptr);
            }
        }
        if (hook) {
            hook();
        }
    }
    void setArea(Rect area) override { recording.setArea(area); }
    void at(std::size_t count, std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        hookAt_ = count;
        hook_ = std::move(hook);
    }
    void holdAt(std::size_t count) {
        at(count, [this] {
            held.set_value();
            release.get_future().wait();
        });
    }

    RecordingInputSink recording;
    std::promise<void> held, release;

  private:
    std::mutex mutex_;
    std::size_t hookAt_ = 0;
    std::function<void()> hook_;
};

inline PenSample sample(std::uint64_t sequence, Phase phase, double x = 0.5, double y = 0.5,
                        double pressure = 0.5) {
    PenSample s;
    s.sequence = sequence;
    s.phase = phase;
    s.x = x;
    s.y = y;
    s.pressure = phase == Phase::hover ? 0 : pressure;
    s.altitude = 1.0;
    s.azimuth = 0.3;
    s.timestamp = static_cast<double>(sequence) / 240;
    return s;
}

inline std::vector<T> types(const std::vector<InputEvent>& events) {
    std::vector<T> result;
    for (const auto& event : events) {
        result.push_back(event.type);
    }
    return result;
}

// A US layout, access granted, the watchdog driven by hand.
inline DesktopInputEnvironment testEnvironment(std::shared_ptr<InputEventSink> sink,
                                               std::shared_ptr<const Clock> clock,
                                               std::shared_ptr<Desktop> desktop) {
    DesktopInputEnvironment environment;
    environment.sink = std::move(sink);
    environment.layout = std::make_shared<KeyboardLayout>(Keymap::fromNames("us").value());
    environment.desktop = std::move(desktop);
    environment.clock = std::move(clock);
    environment.accessGranted = [] { return true; };
    environment.automaticWatchdog = false;
    return environment;
}

class WorkerTest : public ::testing::Test {
  protected:
    static constexpr std::int32_t frontPid = 4242;

    void SetUp() override {
        auto environment = testEnvironment(sink, clock, desktop);
        environment.accessGranted = [this] { return access.load(); };
        worker = DesktopInputWorker::create(std::move(environment));
        worker->attach(connection);
        enable(true);
        sink->recording.clear();
    }
    void TearDown() override { worker->shutdown(); }

    void enable(bool on) {
        worker->configure([&] {
            worker->setEnabled(on);
            worker->setForeground(frontPid, context);
        });
    }
    void submit(std::vector<PenSample> batch) {
        worker->submit(std::move(batch), connection);
        worker->drain();
    }
    DesktopAction action(DesktopAction::Kind kind, std::vector<DesktopKey> keys = {},
                         std::optional<Uuid> token = std::nullopt) const {
        return {.contextID = context, .kind = kind, .token = token, .keys = std::move(keys)};
    }
    void perform(DesktopAction a) {
        worker->submit(std::move(a), connection);
        worker->drain();
    }
    std::vector<InputEvent> events() const { return sink->recording.events(); }

    std::shared_ptr<HookedSink> sink = std::make_shared<HookedSink>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(100'000'000'000);
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::atomic<bool> access{true};
    std::shared_ptr<DesktopInputWorker> worker;
    Uuid connection = Uuid::random();
    Uuid context = Uuid::random();
};

}  // namespace quillory::testing
