#include "core/link/companion_listener.h"

#include <optional>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/log/logger.h"
#include "platform/net/tcp_listener.h"

namespace quillory {

namespace {

const Logger& log() {
    static const Logger logger("app.quillory.connection", "listener");
    return logger;
}

}  // namespace

std::shared_ptr<CompanionListener> CompanionListener::create(AdvertiserFactory advertiser,
                                                             std::uint16_t port) {
    if (!advertiser) {
        advertiser = makeAvahiAdvertiser;
    }
    return std::shared_ptr<CompanionListener>(new CompanionListener(std::move(advertiser), port));
}

CompanionListener::CompanionListener(AdvertiserFactory advertiser, std::uint16_t port)
    : makeAdvertiser_(std::move(advertiser)),
      requestedPort_(port),
      queue_(std::make_unique<SerialQueue>("app.quillory.listener")) {}

CompanionListener::~CompanionListener() {
    halt();
}

Result<void, std::system_error> CompanionListener::start(const std::string& name,
                                                         const std::string& id) {
    QUILLORY_CHECK_MAIN_THREAD();
    halt();
    const auto generation = ++generation_;
    std::optional<Result<std::unique_ptr<TcpListener>, std::system_error>> opened;
    if (!queue_->sync(
            [&] { opened.emplace(TcpListener::open(queue_->context(), requestedPort_)); })) {
        return Failure(std::system_error(std::make_error_code(std::errc::operation_canceled),
                                         "The listener is shutting down"));
    }
    if (!*opened) {
        return Failure(opened->error());
    }
    std::shared_ptr<TcpListener> socket = std::move(*opened).value();
    socket_ = socket;
    port_ = socket->port();

    std::weak_ptr<CompanionListener> weak = weak_from_this();
    auto current = [weak, generation]() -> std::shared_ptr<CompanionListener> {
        auto self = weak.lock();
        return self && self->generation_ == generation ? self : nullptr;
    };
    queue_->async([socket, current] {
        socket->start(
            [current](asio::ip::tcp::socket accepted) {
                auto connection = std::make_shared<StreamConnection>(
                    StreamConnection::fromSocket(std::move(accepted)));
                MainQueue::post([current, connection] {
                    // A connection for a stopped listener closes with its last reference.
                    if (auto self = current(); self && self->onConnection) {
                        self->onConnection(std::move(*connection));
                    }
                });
            },
            [current](std::error_code error) {
                log().error("The listener stopped accepting: %s", error.message().c_str());
                MainQueue::post([current, error] {
                    if (auto self = current(); self && self->onFailure) {
                        self->onFailure(std::system_error(error, "The listener stopped accepting"));
                    }
                });
            });
    });

    // Advertising is best effort: a listener that cannot advertise still takes tablets.
    if (!advertiser_) {
        if (auto made = makeAdvertiser_()) {
            advertiser_ = std::move(made).value();
        } else {
            log().error("Not advertising: %s", made.error().c_str());
        }
    }
    if (advertiser_) {
        advertiser_->advertise(
            DnsSdService{serviceType,
                         name,
                         port_,
                         {{"id", id}, {"version", protocolVersion}, {"platform", platformName}}});
    }
    MainQueue::post([current] {
        if (auto self = current(); self && self->onReady) {
            self->onReady();
        }
    });
    return {};
}

void CompanionListener::stop() {
    QUILLORY_CHECK_MAIN_THREAD();
    halt();
}

void CompanionListener::halt() {
    ++generation_;
    port_ = 0;
    if (advertiser_) {
        advertiser_->withdraw();
    }
    closeSocket();
}

void CompanionListener::closeSocket() {
    if (!socket_) {
        return;
    }
    auto socket = std::move(socket_);
    // Closed and released on its own queue, where its pending accept finishes.
    if (!queue_->sync([&] {
            socket->close();
            socket.reset();
        })) {
        log().error("The listener socket could not be closed on its queue");
    }
}

}  // namespace quillory
