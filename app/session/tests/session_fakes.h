#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/session/chord_recorder.h"
#include "app/session/session_link.h"
#include "app/session/session_sources.h"

namespace quillory::testing {

class FakeListener final : public SessionListener {
  public:
    std::optional<std::string> start(const std::string& name, const std::string& id) override {
        starts.emplace_back(name, id);
        return error;
    }
    void stop() override { ++stops; }
    std::uint16_t port() const override { return 0; }

    std::optional<std::string> error;
    std::vector<std::pair<std::string, std::string>> starts;
    int stops = 0;
};

// The session's events are kept as given; a test calls them as the channel would.
class FakeChannel final : public SessionChannel, public PenChannelEvents {
  public:
    void start(PenChannelEvents events) override {
        static_cast<PenChannelEvents&>(*this) = std::move(events);
        started = true;
    }
    void close(ConnectionEnd end, Cause cause) override {
        closes.emplace_back(std::move(end), cause);
        closing = true;
    }
    bool stop() override {
        ++stops;
        closing = true;
        return stopAnswer;
    }
    bool approve() override {
        ++approvals;
        return approveAnswer;
    }
    bool isClosing() const override { return closing; }
    void send(StudioSignal studio) override { studioSent.push_back(std::move(studio)); }
    void send(ControlsSignal controls) override { controls_.push_back(std::move(controls)); }
    void send(DesktopContext context) override { contexts.push_back(std::move(context)); }
    void setLocalDisplay(std::optional<DisplayGeometry> display) override {
        displays.push_back(display);
    }
    void setInputReceivers(std::function<void(const std::vector<PenSample>&)> samples,
                           std::function<void(const DesktopAction&)> action,
                           std::function<void()> cancelled, std::function<void()> ended) override {
        samplesReceiver = std::move(samples);
        actionReceiver = std::move(action);
        cancelledReceiver = std::move(cancelled);
        endedReceiver = std::move(ended);
    }
    bool waitUntilStopWritten(double seconds) override {
        stopWaits.push_back(seconds);
        return true;
    }
    std::optional<std::string> localAddress() override { return address; }

    const std::vector<ControlsSignal>& controls() const { return controls_; }

    bool started = false;
    bool closing = false;
    std::optional<std::string> address;
    bool stopAnswer = true;
    bool approveAnswer = true;
    int stops = 0;
    int approvals = 0;
    std::vector<std::pair<ConnectionEnd, Cause>> closes;
    std::vector<StudioSignal> studioSent;
    std::vector<DesktopContext> contexts;
    std::vector<std::optional<DisplayGeometry>> displays;
    std::vector<double> stopWaits;
    std::function<void(const std::vector<PenSample>&)> samplesReceiver;
    std::function<void(const DesktopAction&)> actionReceiver;
    std::function<void()> cancelledReceiver;
    std::function<void()> endedReceiver;

  private:
    std::vector<ControlsSignal> controls_;
};

class FakeRecorder final : public ChordRecorder {
  public:
    void start(const QString& appName, const QImage&, Finish finish) override {
        names.push_back(appName);
        pending = std::move(finish);
    }
    void stop(bool notify) override {
        stops.push_back(notify);
        auto taken = std::exchange(pending, nullptr);
        if (notify && taken) {
            taken(std::nullopt);
        }
    }

    std::vector<QString> names;
    std::vector<bool> stops;
    Finish pending;
};

class FakeLogin final : public LoginEvents {};
class FakeForeground final : public ForegroundEvents {};

// Renders by handing out a promise the test fulfils; the render itself runs on the session's
// icon queue and waits for it.
class FakeIcons final : public ApplicationIcons {
  public:
    Render renderer(const ApplicationInfo& application) override {
        if (!application.windowID) {
            return nullptr;
        }
        auto promise = std::make_shared<std::promise<std::optional<Bytes>>>();
        {
            std::lock_guard lock(mutex_);
            promises_.push_back(promise);
        }
        auto future = promise->get_future().share();
        return [future] { return future.get(); };
    }
    QImage image(const ApplicationInfo& application) override {
        std::lock_guard lock(mutex_);
        imageProcesses.push_back(application.processID);
        return {};
    }
    std::vector<std::int32_t> imageProcesses;  // whose icon image() was asked for

    std::size_t requested() const {
        std::lock_guard lock(mutex_);
        return promises_.size();
    }
    void finish(std::size_t index, std::optional<Bytes> png) {
        std::lock_guard lock(mutex_);
        promises_.at(index)->set_value(std::move(png));
        finished_.push_back(index);
    }
    // Ends every render still waiting, so that the icon queue can stop.
    void finishAll() {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < promises_.size(); ++i) {
            if (std::find(finished_.begin(), finished_.end(), i) == finished_.end()) {
                promises_[i]->set_value(std::nullopt);
                finished_.push_back(i);
            }
        }
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<std::promise<std::optional<Bytes>>>> promises_;
    std::vector<std::size_t> finished_;
};

// A connected socket whose far end the test keeps, to see whether the near one was closed.
struct SocketPair {
    SocketPair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
            near = fds[0];
            far = fds[1];
        }
    }
    ~SocketPair() {
        if (far >= 0) {
            ::close(far);
        }
    }
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;

    // True once the near end is closed (the far end reads end of file).
    bool nearClosed() const {
        char byte;
        return ::recv(far, &byte, 1, MSG_DONTWAIT) == 0;
    }

    int near = -1;
    int far = -1;
};

// The smallest bytes that pass the icon rule: signature, IHDR, a side.
inline Bytes iconBytes(std::uint8_t side) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13,
                 'I',  'H', 'D', 'R', 0,    0,    0,    side, 0, 0, 0, side};
    png.resize(40, 0);
    return png;
}

}  // namespace quillory::testing
