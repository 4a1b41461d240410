#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <system_error>

#include "platform/result/result.h"

namespace quillory {

// A TCP listener on every address (IPv6 with IPv4 mapped, or IPv4 alone where IPv6 is off).
// Accepted sockets are tuned with configureStreamSocket and handed over unread. Lives on the
// io_context it is given; start() and close() belong to that context's thread once accepting.
class TcpListener {
  public:
    // Binds and listens; port 0 lets the system choose. The error names the step that failed.
    static Result<std::unique_ptr<TcpListener>, std::system_error> open(asio::io_context& context,
                                                                        std::uint16_t port);

    std::uint16_t port() const { return port_; }

    // Accepts until closed. A failure other than closing stops accepting and is reported once.
    void start(std::function<void(asio::ip::tcp::socket)> accepted,
               std::function<void(std::error_code)> failed);
    void close();

  private:
    explicit TcpListener(asio::io_context& context);
    struct State {
        explicit State(asio::io_context& context) : acceptor(context) {}
        asio::ip::tcp::acceptor acceptor;
        std::function<void(asio::ip::tcp::socket)> accepted;
        std::function<void(std::error_code)> failed;
    };
    // The accept loop holds only the state, so the listener may go away inside a callback.
    static void acceptNext(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
    std::uint16_t port_ = 0;
};

}  // namespace quillory
