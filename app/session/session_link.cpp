#include "app/session/session_link.h"

#include <system_error>

namespace quillory {
namespace {

class CompanionSessionListener final : public SessionListener {
  public:
    explicit CompanionSessionListener(CompanionListener::AdvertiserFactory advertiser)
        : listener_(CompanionListener::create(std::move(advertiser))) {
        // The listener lives as long as this adapter; its callbacks reach the adapter's members
        // as they are at the time of the call.
        listener_->onReady = [this] {
            if (onReady) {
                onReady();
            }
        };
        listener_->onFailure = [this](const std::system_error& error) {
            if (onFailure) {
                onFailure(error.what());
            }
        };
        listener_->onConnection = [this](StreamConnection connection) {
            if (onConnection) {
                onConnection(std::move(connection));
            } else {
                connection.cancel();
            }
        };
    }
    ~CompanionSessionListener() override { listener_->stop(); }

    std::optional<std::string> start(const std::string& name, const std::string& id) override {
        if (auto started = listener_->start(name, id); !started) {
            return std::string(started.error().what());
        }
        return std::nullopt;
    }
    void stop() override { listener_->stop(); }
    std::uint16_t port() const override { return listener_->port(); }

  private:
    std::shared_ptr<CompanionListener> listener_;
};

class CompanionSessionChannel final : public SessionChannel {
  public:
    explicit CompanionSessionChannel(std::shared_ptr<PenChannel> channel)
        : channel_(std::move(channel)) {}

    void start(PenChannelEvents events) override {
        channel_->setEvents(std::move(events));
        channel_->start();
    }
    void close(ConnectionEnd end, Cause cause) override { channel_->close(std::move(end), cause); }
    bool stop() override { return channel_->stop(); }
    bool approve() override { return channel_->approve(); }
    bool isClosing() const override { return channel_->closedCause().has_value(); }
    void send(StudioSignal studio) override { channel_->send(std::move(studio)); }
    void send(ControlsSignal controls) override { channel_->send(std::move(controls)); }
    void send(DesktopContext context) override { channel_->send(std::move(context)); }
    void setLocalDisplay(std::optional<DisplayGeometry> display) override {
        channel_->setLocalDisplay(display);
    }
    void setInputReceivers(std::function<void(const std::vector<PenSample>&)> samples,
                           std::function<void(const DesktopAction&)> action,
                           std::function<void()> cancelled, std::function<void()> ended) override {
        channel_->setInputReceivers(std::move(samples), std::move(action), std::move(cancelled),
                                    std::move(ended));
    }
    bool waitUntilStopWritten(double seconds) override {
        return channel_->waitUntilStopWritten(seconds);
    }
    std::optional<std::string> localAddress() override { return channel_->localAddress(); }

  private:
    std::shared_ptr<PenChannel> channel_;
};

}  // namespace

std::shared_ptr<SessionListener> makeCompanionSessionListener(
    CompanionListener::AdvertiserFactory advertiser) {
    return std::make_shared<CompanionSessionListener>(std::move(advertiser));
}

SessionChannelFactory companionChannelFactory() {
    return [](StreamConnection connection, const std::string& name,
              std::shared_ptr<DeviceTrustStore> store,
              const Uuid& intent) -> std::shared_ptr<SessionChannel> {
        auto channel = PenChannel::create(std::move(connection), PenChannel::Role::mac, name,
                                          std::move(store), intent, std::nullopt, true);
        if (!channel) {
            return nullptr;
        }
        return std::make_shared<CompanionSessionChannel>(std::move(channel));
    };
}

}  // namespace quillory
