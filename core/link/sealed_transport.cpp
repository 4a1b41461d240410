#include "core/link/sealed_transport.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <asio/write.hpp>

#include "core/link/stream_connection.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/pen_path_marks.h"
#include "platform/net/socket_address.h"
#include "platform/net/socket_options.h"

namespace quillory {

namespace {

constexpr std::size_t readChunk = 64 * 1024;

}  // namespace

SealedTransport::SealedTransport(SerialQueue& queue, int fd)
    : queue_(queue), socket_(queue.context()), pendingFd_(fd), readBuffer_(readChunk) {}

SealedTransport::~SealedTransport() {
    if (pendingFd_ >= 0) {
        StreamConnection(pendingFd_).cancel();
    }
    std::error_code ignored;
    socket_.close(ignored);
}

bool SealedTransport::open(std::weak_ptr<Owner> owner) {
    QUILLORY_CHECK_ON(queue_);
    owner_ = std::move(owner);
    const int fd = pendingFd_;
    pendingFd_ = -1;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        StreamConnection(fd).cancel();
        return false;
    }
    localAddress_ = numericAddress(address);
    const int family = address.ss_family;
    const bool inet = family == AF_INET || family == AF_INET6;
    std::error_code error;
    socket_.assign(asio::generic::stream_protocol(family, inet ? IPPROTO_TCP : 0), fd, error);
    if (inet) {
        configureStreamSocket(fd);
    }
    return !error;
}

std::size_t SealedTransport::close() {
    QUILLORY_CHECK_ON(queue_);
    closed_ = true;
    std::error_code ignored;
    socket_.close(ignored);
    if (pendingFd_ >= 0) {
        StreamConnection(pendingFd_).cancel();
        pendingFd_ = -1;
    }
    const auto pending = writeQueue_.size();
    writeQueue_.clear();
    queuedBytes_ = 0;
    return pending;
}

void SealedTransport::release(std::shared_ptr<Owner> owner) const {
    if (closed_) {
        MainQueue::post([owner = std::move(owner)] {});
    }
}

// Reading

void SealedTransport::startReading() {
    QUILLORY_CHECK_ON(queue_);
    if (auto owner = owner_.lock()) {
        readMore(std::move(owner));
    }
}

void SealedTransport::readMore(std::shared_ptr<Owner> owner) {
    if (closed_) {
        return;
    }
    socket_.async_read_some(
        asio::buffer(readBuffer_),
        [this, owner = std::move(owner)](const std::error_code& error, std::size_t count) mutable {
            if (!closed_) {
                if (error) {
                    owner->transportFailed(error == asio::error::eof ? Cause::peerClosed
                                                                     : Cause::networkFailure);
                } else {
                    markPenPath(PenPathMark::readable);
                    received(*owner, count);
                    readMore(owner);
                }
            }
            release(std::move(owner));
        });
}

void SealedTransport::received(Owner& owner, std::size_t count) {
    auto result = decoder_.append(ByteView(readBuffer_.data(), count));
    if (!result.packets.empty()) {
        markPenPath(PenPathMark::lineRead);
        owner.transportReceived(result.packets);
    }
    if (result.error && !closed_) {
        if (*result.error == ProtocolError::unsupportedVersion) {
            owner.transportFailed(Cause::unsupportedVersion);
        } else {
            owner.transportFailed(decoder_.lineTooLong() ? Cause::frameSizeExceeded
                                                         : Cause::invalidFrame);
        }
    }
}

// Sealing

void SealedTransport::useKeys(const session_crypto::Keys& keys) {
    QUILLORY_CHECK_ON(queue_);
    sealer_ = session_crypto::RecordSealer(keys.sendKey, keys.sendIV);
    opener_ = session_crypto::RecordOpener(keys.receiveKey, keys.receiveIV);
    sealed_ = true;
}

Result<SessionPayload, ChannelTermination::Cause> SealedTransport::unseal(
    const SessionPacket& packet) {
    QUILLORY_CHECK_ON(queue_);
    const auto sequence = opener_.next();
    const auto plaintext = opener_.open(packet.data);
    if (!plaintext) {
        return Failure(Cause::decryptionFailed);
    }
    markPenPath(PenPathMark::opened);
    auto payload = SessionPayload::decode(
        std::string_view(reinterpret_cast<const char*>(plaintext->data()), plaintext->size()));
    markPenPath(PenPathMark::decoded);
    if (payload && payload->counter != sequence) {
        return Failure(Cause::decryptionFailed);
    }
    if (!payload) {
        return Failure(Cause::invalidPayload);
    }
    return std::move(*payload);
}

bool SealedTransport::sendPayload(SessionPayload payload) {
    QUILLORY_CHECK_ON(queue_);
    if (!sealed_ || closed_) {
        return false;
    }
    payload.counter = sealer_.next();
    const auto plaintext = payload.encode();
    // Checked before sealing: a sealed record that is never sent would break the sequence.
    if (plaintext.size() > maxPayloadBytes) {
        channelLog().error("Dropped a \"%s\" payload of %zu bytes",
                           std::string(rawValue(payload.kind)).c_str(), plaintext.size());
        return false;
    }
    const auto sealed = sealer_.seal(asBytes(plaintext));
    sendLine(SessionPacket::Kind::sealed, sealed);
    return true;
}

// Writing

void SealedTransport::sendLine(SessionPacket::Kind kind, ByteView data) {
    QUILLORY_CHECK_ON(queue_);
    if (closed_) {
        return;
    }
    SessionPacket packet{kind, Bytes(data.begin(), data.end())};
    auto line = packet.encodeLine();
    if (line.size() > SessionPacket::maxLineBytes + 1) {
        channelLog().error("Dropped an outbound line of %zu bytes", line.size() - 1);
        return;
    }
    queuedBytes_ += line.size();
    writeQueue_.push_back(std::move(line));
    auto owner = owner_.lock();
    if (!owner) {
        return;
    }
    if (queuedBytes_ > maxQueuedBytes || writeQueue_.size() > maxQueuedLines) {
        owner->transportFailed(Cause::writeBackpressure);
        return;
    }
    writeNext(std::move(owner));
}

void SealedTransport::writeNext(std::shared_ptr<Owner> owner) {
    if (!owner || writing_ || writeQueue_.empty() || closed_) {
        return;
    }
    writing_ = true;
    asio::async_write(
        socket_, asio::buffer(writeQueue_.front()),
        [this, owner = std::move(owner)](const std::error_code& error, std::size_t) mutable {
            writing_ = false;
            if (!closed_) {
                written(*owner, error);
            }
            release(std::move(owner));
        });
}

void SealedTransport::written(Owner& owner, const std::error_code& error) {
    if (error) {
        owner.transportFailed(Cause::networkFailure);
        return;
    }
    queuedBytes_ -= writeQueue_.front().size();
    writeQueue_.pop_front();
    writeNext(owner_.lock());
    owner.transportWrote();
}

}  // namespace quillory
