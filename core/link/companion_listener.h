#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "core/link/stream_connection.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/net/dns_sd.h"
#include "platform/result/result.h"

namespace quillory {

class TcpListener;

// The host's TCP listener, advertised over DNS-SD. Connections are accepted on the listener's
// own queue and handed to the main queue unread. Advertising is best effort: without a DNS-SD
// daemon the listener still accepts, and it advertises again once a daemon appears.
class CompanionListener : public std::enable_shared_from_this<CompanionListener> {
  public:
    static constexpr const char* serviceType = "_ravaridurur._tcp";
    static constexpr const char* protocolVersion = "9";
    static constexpr const char* platformName = "mac";

    using AdvertiserFactory =
        std::function<Result<std::unique_ptr<DnsSdAdvertiser>, std::string>()>;

    // port 0 lets the system choose; tests pass a no-op advertiser.
    static std::shared_ptr<CompanionListener> create(AdvertiserFactory advertiser = nullptr,
                                                     std::uint16_t port = 0);
    ~CompanionListener();
    CompanionListener(const CompanionListener&) = delete;
    CompanionListener& operator=(const CompanionListener&) = delete;

    // Main thread. (Re)starts listening and advertises `name` with TXT "id" = id. Fails when the
    // socket cannot be created, bound or put to listen.
    Result<void, std::system_error> start(const std::string& name, const std::string& id);
    // Main thread. Closes the socket and withdraws the advertisement; no callback follows.
    void stop();
    // The port being listened on, 0 when stopped.
    std::uint16_t port() const { return port_; }

    // Delivered on the main queue; set before start().
    std::function<void()> onReady;
    std::function<void(const std::system_error&)> onFailure;
    std::function<void(StreamConnection)> onConnection;

  private:
    CompanionListener(AdvertiserFactory advertiser, std::uint16_t port);
    // stop() without the thread check, for the destructor.
    void halt();
    void closeSocket();

    const AdvertiserFactory makeAdvertiser_;
    const std::uint16_t requestedPort_;
    std::unique_ptr<SerialQueue> queue_;
    std::shared_ptr<TcpListener> socket_;  // lives on queue_
    std::unique_ptr<DnsSdAdvertiser> advertiser_;
    // Main thread: callbacks posted for an older generation are dropped.
    std::uint64_t generation_ = 0;
    std::uint16_t port_ = 0;
};

}  // namespace quillory
