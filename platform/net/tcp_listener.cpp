#include "platform/net/tcp_listener.h"

#include <asio/ip/v6_only.hpp>
#include <optional>

#include "platform/net/socket_options.h"

namespace quillory {

namespace {

// Nothing when listening, else the step that failed and why.
std::optional<std::system_error> openAndBind(asio::ip::tcp::acceptor& acceptor,
                                             const asio::ip::tcp::endpoint& endpoint) {
    std::error_code error;
    acceptor.open(endpoint.protocol(), error);
    if (error) {
        return std::system_error(error, "open");
    }
    acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), error);
    if (!error && endpoint.protocol() == asio::ip::tcp::v6()) {
        acceptor.set_option(asio::ip::v6_only(false), error);
    }
    if (error) {
        return std::system_error(error, "set_option");
    }
    acceptor.bind(endpoint, error);
    if (error) {
        return std::system_error(error, "bind");
    }
    acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        return std::system_error(error, "listen");
    }
    return std::nullopt;
}

}  // namespace

TcpListener::TcpListener(asio::io_context& context) : state_(std::make_shared<State>(context)) {}

Result<std::unique_ptr<TcpListener>, std::system_error> TcpListener::open(asio::io_context& context,
                                                                          std::uint16_t port) {
    std::unique_ptr<TcpListener> listener(new TcpListener(context));
    auto& acceptor = listener->state_->acceptor;
    auto failure = openAndBind(acceptor, {asio::ip::tcp::v6(), port});
    // Only a system without IPv6 falls back; a taken port stays an error.
    if (failure && (failure->code() == asio::error::address_family_not_supported ||
                    failure->code() == std::errc::address_not_available)) {
        std::error_code ignored;
        acceptor.close(ignored);
        failure = openAndBind(acceptor, {asio::ip::tcp::v4(), port});
    }
    if (failure) {
        return Failure(std::move(*failure));
    }
    std::error_code error;
    const auto endpoint = acceptor.local_endpoint(error);
    if (error) {
        return Failure(std::system_error(error, "local_endpoint"));
    }
    listener->port_ = endpoint.port();
    return listener;
}

void TcpListener::start(std::function<void(asio::ip::tcp::socket)> accepted,
                        std::function<void(std::error_code)> failed) {
    state_->accepted = std::move(accepted);
    state_->failed = std::move(failed);
    acceptNext(state_);
}

void TcpListener::close() {
    std::error_code ignored;
    state_->acceptor.close(ignored);
    state_->accepted = nullptr;
    state_->failed = nullptr;
}

void TcpListener::acceptNext(const std::shared_ptr<State>& state) {
    state->acceptor.async_accept([state](std::error_code error, asio::ip::tcp::socket socket) {
        if (!state->acceptor.is_open() || error == asio::error::operation_aborted) {
            return;
        }
        if (error) {
            // A peer that gave up before we took it is its own business.
            if (error == asio::error::connection_aborted) {
                acceptNext(state);
                return;
            }
            if (state->failed) {
                state->failed(error);
            }
            return;
        }
        configureStreamSocket(socket.native_handle());
        if (state->accepted) {
            state->accepted(std::move(socket));
        }
        if (state->acceptor.is_open()) {
            acceptNext(state);
        }
    });
}

}  // namespace quillory
