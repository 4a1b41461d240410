#include "tests/support/udp_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string_view>
#include <utility>

namespace quillory::testing {
namespace {

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int bindLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

void sendTo(int fd, std::uint16_t port, const std::vector<std::uint8_t>& bytes) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    // A full socket buffer is one more loss, as on a real path.
    static_cast<void>(::sendto(fd, bytes.data(), bytes.size(), 0,
                               reinterpret_cast<const sockaddr*>(&address), sizeof(address)));
}

// The payload types the description maps to "rtx".
std::set<std::uint8_t> retransmissionPayloadTypes(const std::string& sdp) {
    std::set<std::uint8_t> out;
    std::istringstream lines(sdp);
    for (std::string line; std::getline(lines, line);) {
        unsigned type = 0;
        char name[4] = {};
        if (std::sscanf(line.c_str(), "a=rtpmap:%u %3[^/]/", &type, name) == 2 &&
            std::string_view(name) == "rtx" && type < 128) {
            out.insert(static_cast<std::uint8_t>(type));
        }
    }
    return out;
}

}  // namespace

std::unique_ptr<UdpRelay> UdpRelay::create(std::uint32_t seed) {
    std::uint16_t senderSidePort = 0;
    std::uint16_t answererSidePort = 0;
    const int senderSide = bindLoopback(senderSidePort);
    const int answererSide = bindLoopback(answererSidePort);
    if (senderSide < 0 || answererSide < 0) {
        if (senderSide >= 0) {
            ::close(senderSide);
        }
        if (answererSide >= 0) {
            ::close(answererSide);
        }
        return nullptr;
    }
    return std::make_unique<UdpRelay>(Private{}, senderSide, answererSide, senderSidePort,
                                      answererSidePort, seed);
}

UdpRelay::UdpRelay(Private, int senderSide, int answererSide, std::uint16_t senderSidePort,
                   std::uint16_t answererSidePort, std::uint32_t seed)
    : senderSide_(senderSide),
      answererSide_(answererSide),
      senderSidePort_(senderSidePort),
      answererSidePort_(answererSidePort),
      random_(seed),
      thread_([this](std::stop_token stop) { run(stop); }) {}

UdpRelay::~UdpRelay() {
    thread_.request_stop();
    thread_.join();
    ::close(senderSide_);
    ::close(answererSide_);
}

std::optional<std::string> UdpRelay::rewrite(const std::string& sdp, std::uint16_t port,
                                             std::uint16_t& learnedPort) {
    // Keeps the first UDP candidate, pointed at the relay; drops the others so that every path
    // runs through the relay.
    std::istringstream lines(sdp);
    std::string out;
    std::string line;
    bool kept = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.starts_with("a=candidate:")) {
            std::istringstream fields(line);
            std::vector<std::string> parts;
            for (std::string part; fields >> part;) {
                parts.push_back(part);
            }
            const bool udp = parts.size() >= 8 && (parts[2] == "UDP" || parts[2] == "udp");
            if (!udp || kept) {
                continue;
            }
            kept = true;
            learnedPort = static_cast<std::uint16_t>(std::stoul(parts[5]));
            parts[4] = "127.0.0.1";
            parts[5] = std::to_string(port);
            line.clear();
            for (const std::string& part : parts) {
                line += (line.empty() ? "" : " ") + part;
            }
        }
        out += line + "\r\n";
    }
    if (!kept) {
        return std::nullopt;
    }
    return out;
}

std::string UdpRelay::rewriteOffer(const std::string& sdp) {
    {
        std::lock_guard lock(mutex_);
        retransmissionPayloadTypes_ = retransmissionPayloadTypes(sdp);
    }
    return rewriteAndLearn(sdp, answererSidePort_, senderPort_);
}

std::string UdpRelay::rewriteAnswer(const std::string& sdp) {
    return rewriteAndLearn(sdp, senderSidePort_, answererPort_);
}

std::string UdpRelay::rewriteAndLearn(const std::string& sdp, std::uint16_t relayPort,
                                      std::uint16_t& peerPort) {
    std::uint16_t port = 0;
    auto out = rewrite(sdp, relayPort, port);
    std::lock_guard lock(mutex_);
    peerPort = port;
    return out.value_or("");
}

void UdpRelay::setShaping(const Shaping& shaping) {
    std::lock_guard lock(mutex_);
    shaping_ = shaping;
}

UdpRelay::Counters UdpRelay::counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

std::vector<UdpRelay::Drop> UdpRelay::queueDrops() const {
    std::lock_guard lock(mutex_);
    return {queueDrops_.begin(), queueDrops_.end()};
}

std::vector<UdpRelay::QueueWait> UdpRelay::queueWaits() const {
    std::lock_guard lock(mutex_);
    return {queueWaits_.begin(), queueWaits_.end()};
}

double UdpRelay::takeLongestWait() {
    std::lock_guard lock(mutex_);
    return std::exchange(longestWait_, 0.0);
}

void UdpRelay::arrived(std::vector<std::uint8_t> bytes, bool toAnswerer, double now) {
    std::lock_guard lock(mutex_);
    if (shaping_.blackout) {
        counters_.blackoutDrops += 1;
        return;
    }
    double departure = now;
    if (toAnswerer) {
        if (shaping_.lossFraction > 0 &&
            std::uniform_real_distribution<double>(0, 1)(random_) < shaping_.lossFraction) {
            counters_.lost += 1;
            return;
        }
        const bool retransmission = inRetransmissionStream(bytes);
        const bool probe = retransmission && padded(bytes);
        counters_.probes += probe ? 1U : 0U;
        if (shaping_.rateBps && *shaping_.rateBps > 0) {
            const double start = std::max(now, capFreeAt_);
            while (!queuedProbes_.empty() && queuedProbes_.front().first <= now) {
                queuedProbes_.pop_front();
            }
            if (start - now > queueSeconds) {
                std::size_t probeBytes = 0;
                for (const auto& [leaves, size] : queuedProbes_) {
                    probeBytes += size;
                }
                const double probeSeconds =
                    static_cast<double>(probeBytes) * 8.0 / *shaping_.rateBps;
                counters_.queueDrops += 1;
                counters_.retransmissionQueueDrops += retransmission ? 1U : 0U;
                counters_.probeQueueDrops += probe ? 1U : 0U;
                queueDrops_.push_back({.atSeconds = now,
                                       .retransmission = retransmission,
                                       .probe = probe,
                                       .lostToProbes = start - probeSeconds - now <= queueSeconds});
                if (queueDrops_.size() > dropsKept) {
                    queueDrops_.pop_front();
                }
                return;
            }
            queueWaits_.push_back({.atSeconds = now, .seconds = start - now});
            longestWait_ = std::max(longestWait_, start - now);
            if (queueWaits_.size() > dropsKept) {
                queueWaits_.pop_front();
            }
            capFreeAt_ = start + static_cast<double>(bytes.size()) * 8.0 / *shaping_.rateBps;
            departure = capFreeAt_;
            if (probe) {
                queuedProbes_.emplace_back(departure, bytes.size());
            }
        }
    }
    departure += shaping_.delaySeconds;
    auto& queue = toAnswerer ? toAnswerer_ : toSender_;
    queue.push_back({std::move(bytes), departure, toAnswerer});
}

// SRTP leaves the RTP header readable; RTCP shares the port but its packet types read as
// payload types 64-95.
bool UdpRelay::inRetransmissionStream(const std::vector<std::uint8_t>& bytes) const {
    if (bytes.size() < 12 || (bytes[0] >> 6) != 2) {
        return false;
    }
    const std::uint8_t type = bytes[1] & 0x7f;
    return (type < 64 || type > 95) && retransmissionPayloadTypes_.contains(type);
}

// An RTP packet with the padding bit: a probe, when on the retransmission stream, since
// retransmissions carry no padding.
bool UdpRelay::padded(const std::vector<std::uint8_t>& bytes) {
    return bytes.size() >= 12 && (bytes[0] & 0x20) != 0;
}

void UdpRelay::departDue(double now) {
    std::uint16_t senderPort = 0;
    std::uint16_t answererPort = 0;
    {
        std::lock_guard lock(mutex_);
        senderPort = senderPort_;
        answererPort = answererPort_;
    }
    for (auto* queue : {&toAnswerer_, &toSender_}) {
        while (!queue->empty() && queue->front().departure <= now) {
            Packet packet = std::move(queue->front());
            queue->pop_front();
            const std::uint16_t port = packet.toAnswerer ? answererPort : senderPort;
            if (port == 0) {
                continue;
            }
            sendTo(packet.toAnswerer ? answererSide_ : senderSide_, port, packet.bytes);
            std::lock_guard lock(mutex_);
            if (packet.toAnswerer) {
                counters_.forwardedToAnswerer += 1;
                counters_.bytesToAnswerer += packet.bytes.size();
            } else {
                counters_.forwardedToSender += 1;
            }
        }
    }
}

void UdpRelay::run(const std::stop_token& stop) {
    std::vector<std::uint8_t> buffer(65536);
    while (!stop.stop_requested()) {
        double now = nowSeconds();
        double next = now + 0.01;  // also how soon a stop is noticed
        for (const auto* queue : {&toAnswerer_, &toSender_}) {
            if (!queue->empty()) {
                next = std::min(next, queue->front().departure);
            }
        }
        pollfd fds[2] = {{senderSide_, POLLIN, 0}, {answererSide_, POLLIN, 0}};
        const int timeout = static_cast<int>(std::max(0.0, (next - now) * 1000.0));
        ::poll(fds, 2, timeout);
        now = nowSeconds();
        for (int index = 0; index < 2; ++index) {
            if ((fds[index].revents & POLLIN) == 0) {
                continue;
            }
            for (;;) {
                const ssize_t size = ::recv(fds[index].fd, buffer.data(), buffer.size(), 0);
                if (size <= 0) {
                    break;
                }
                arrived({buffer.begin(), buffer.begin() + size}, index == 0, now);
            }
        }
        departDue(nowSeconds());
    }
}

}  // namespace quillory::testing
