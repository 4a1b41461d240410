#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/desktop-control/desktop_input_worker.h"
#include "platform/input/recording_input_sink.h"
#include "platform/keyboard/keymap.h"

namespace quillory::testing {

// Records every event; can run a hook on the input queue when the n-th event arrives, so a test
// can act while a batch is midway.
class HookedSink final : public InputEventSink {
  public:
    void post(const InputEvent& event) override {
        recording.post(event);
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex);
            if (hookAt != 0 && recording.count() == hookAt) {
                hook = std::move(onEvent);
                hookAt = 0;
            }
        }
        if (hook) {
            hook();
        }
    }
    void at(std::size_t count, std::function<void()> hook) {
        std::lock_guard lock(mutex);
        hookAt = count;
        onEvent = std::move(hook);
    }

    RecordingInputSink recording;

  private:
    std::mutex mutex;
    std::size_t hookAt = 0;
    std::function<void()> onEvent;
};

// A one-shot gate: the input queue waits in it until the test opens it.
class Gate {
  public:
    void wait() {
        std::unique_lock lock(mutex_);
        entered_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
    }
    void waitUntilEntered() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return entered_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool open_ = false;
};

inline PenSample sample(std::uint64_t sequence, PenSample::Phase phase, double x = 0.5,
                        double y = 0.5, double pressure = 0.5, double timestamp = 0) {
    PenSample s;
    s.sequence = sequence;
    s.phase = phase;
    s.x = x;
    s.y = y;
    s.pressure = phase == PenSample::Phase::hover ? 0 : pressure;
    s.altitude = 1.0;
    s.azimuth = 0.3;
    s.timestamp = timestamp == 0 ? static_cast<double>(sequence) / 240 : timestamp;
    return s;
}

inline std::vector<InputEventType> types(const std::vector<InputEvent>& events) {
    std::vector<InputEventType> result;
    for (const auto& event : events) {
        result.push_back(event.type);
    }
    return result;
}

class WorkerTest : public ::testing::Test {
  protected:
    static constexpr std::int32_t frontPid = 4242;

    void SetUp() override {
        DesktopInputEnvironment environment;
        environment.sink = sink;
        environment.layout = std::make_shared<KeyboardLayout>(Keymap::fromNames("us"));
        environment.desktop = desktop;
        environment.clock = clock;
        environment.accessGranted = [this] { return access.load(); };
        environment.automaticWatchdog = false;
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
        DesktopAction a;
        a.contextID = context;
        a.kind = kind;
        a.keys = std::move(keys);
        a.token = token;
        return a;
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
