#include "core/link/stream_connection.h"

#include <unistd.h>

namespace quillory {

StreamConnection StreamConnection::fromSocket(asio::ip::tcp::socket socket) {
    std::error_code error;
    const int fd = socket.is_open() ? socket.release(error) : -1;
    return StreamConnection(error ? -1 : fd);
}

StreamConnection& StreamConnection::operator=(StreamConnection&& other) noexcept {
    if (this != &other) {
        cancel();
        fd_ = other.release();
    }
    return *this;
}

StreamConnection::~StreamConnection() {
    cancel();
}

int StreamConnection::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void StreamConnection::cancel() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace quillory
