#include "platform/net/tcp_listener.h"

#include <asio/ip/v6_only.hpp>

#include "platform/net/socket_options.h"

namespace quillory {

namespace {

void openAndBind(asio::ip::tcp::acceptor& acceptor, const asio::ip::tcp::endpoint& endpoint) {
    acceptor.open(endpoint.protocol());
    acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true));
    if (endpoint.protocol() == asio::ip::tcp::v6()) {
        acceptor.set_option(asio::ip::v6_only(false));
    }
    acceptor.bind(endpoint);
    acceptor.listen(asio::socket_base::max_listen_connections);
}

}  // namespace

TcpListener::TcpListener(asio::io_context& context, std::uint16_t port)
    : state_(std::make_shared<State>(context)) {
    try {
        openAndBind(state_->acceptor, {asio::ip::tcp::v6(), port});
    } catch (const std::system_error& error) {
        // Only a system without IPv6 falls back; a taken port stays an error.
        if (error.code() != asio::error::address_family_not_supported &&
            error.code() != std::errc::address_not_available) {
            throw;
        }
        state_->acceptor.close();
        openAndBind(state_->acceptor, {asio::ip::tcp::v4(), port});
    }
    port_ = state_->acceptor.local_endpoint().port();
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
