#pragma once

#include <asio/ip/tcp.hpp>

namespace quillory {

// A connected stream socket handed to a channel unread: a TCP connection from the listener or a
// client, or a local socket. Owns the descriptor until a channel takes it.
class StreamConnection {
  public:
    explicit StreamConnection(int fd) : fd_(fd) {}
    static StreamConnection fromSocket(asio::ip::tcp::socket socket);
    StreamConnection(StreamConnection&& other) noexcept : fd_(other.release()) {}
    StreamConnection& operator=(StreamConnection&& other) noexcept;
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;
    ~StreamConnection();

    int fd() const { return fd_; }
    int release();
    // Closes the connection without handing it to a channel.
    void cancel();

  private:
    int fd_ = -1;
};

}  // namespace quillory
