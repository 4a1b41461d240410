#pragma once

#include <asio/generic/stream_protocol.hpp>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/link/channel_termination.h"
#include "core/link/session_crypto.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/result/result.h"
#include "protocol/packet_decoder.h"
#include "protocol/session_packet.h"
#include "protocol/session_payload.h"

namespace quillory {

// The channel's byte stream: lines read and framed, lines written in order from a bounded
// queue, and sealed records once keys exist. Lives on the transport queue; each operation in
// flight holds its owner, which it hands to the main queue once the transport has closed.
class SealedTransport {
  public:
    using Cause = ChannelTermination::Cause;

    // The channel, told about the stream on the transport queue.
    class Owner {
      public:
        virtual ~Owner() = default;
        // Packets of one read, in order; the transport does not stop between them.
        virtual void transportReceived(const std::vector<SessionPacket>& packets) = 0;
        // The stream broke, the peer sent a bad frame, or the peer stopped reading.
        virtual void transportFailed(Cause cause) = 0;
        // A line left the write queue.
        virtual void transportWrote() = 0;
    };

    static constexpr std::size_t maxQueuedBytes = 4 * 1024 * 1024;
    static constexpr std::size_t maxQueuedLines = 512;
    static constexpr std::size_t maxPayloadBytes = 49'106;

    // Takes the descriptor; nothing happens on it before open().
    SealedTransport(SerialQueue& queue, int fd);
    ~SealedTransport();
    SealedTransport(const SealedTransport&) = delete;
    SealedTransport& operator=(const SealedTransport&) = delete;

    // Transport queue only, from here on. Puts the descriptor on the queue; false when it is no
    // usable socket (then it is closed).
    bool open(std::weak_ptr<Owner> owner);
    // Reads until the stream ends or the transport closes.
    void startReading();
    // Closes the stream and drops what is unwritten; returns how many lines that was.
    std::size_t close();
    bool isClosed() const { return closed_; }

    void useKeys(const session_crypto::Keys& keys);
    bool isSealed() const { return sealed_; }
    // The next sealed record, opened: only with the next expected sequence number and a
    // matching counter (else decryptionFailed), as a payload that decodes (else invalidPayload).
    Result<SessionPayload, Cause> unseal(const SessionPacket& packet);

    void sendLine(SessionPacket::Kind kind, ByteView data);
    // Seals the payload with the next counter; false when it cannot go out.
    bool sendPayload(SessionPayload payload);
    std::size_t pendingLines() const { return writeQueue_.size(); }
    // This end's numeric IP address, an IPv4-mapped one as plain IPv4; none before open() and
    // for local sockets.
    const std::optional<std::string>& localAddress() const { return localAddress_; }

  private:
    void readMore(std::shared_ptr<Owner> owner);
    void received(Owner& owner, std::size_t count);
    void writeNext(std::shared_ptr<Owner> owner);
    void written(Owner& owner, const std::error_code& error);
    // The last reference an operation holds goes to the main queue once closed, so the owner is
    // never destroyed on its own queue.
    void release(std::shared_ptr<Owner> owner) const;

    SerialQueue& queue_;
    asio::generic::stream_protocol::socket socket_;
    int pendingFd_;
    std::weak_ptr<Owner> owner_;
    bool closed_ = false;
    std::optional<std::string> localAddress_;
    PacketDecoder decoder_;
    std::vector<std::uint8_t> readBuffer_;
    std::deque<std::string> writeQueue_;
    std::size_t queuedBytes_ = 0;
    bool writing_ = false;
    bool sealed_ = false;
    session_crypto::RecordSealer sealer_;
    session_crypto::RecordOpener opener_;
};

}  // namespace quillory
