#include "platform/net/avahi_connection.h"

#include <avahi-common/error.h>
#include <avahi-common/timeval.h>
#include <sys/time.h>

#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& log() {
    static const Logger logger("app.quillory.connection", "dns-sd");
    return logger;
}

}  // namespace

AvahiConnection::AvahiConnection(std::string purpose, Handlers handlers)
    : purpose_(std::move(purpose)), handlers_(std::move(handlers)) {}

Result<std::unique_ptr<AvahiConnection>, std::string> AvahiConnection::open(std::string purpose,
                                                                            Handlers handlers) {
    std::unique_ptr<AvahiConnection> connection(
        new AvahiConnection(std::move(purpose), std::move(handlers)));
    connection->poll_ = avahi_threaded_poll_new();
    if (!connection->poll_) {
        return Failure(std::string("Cannot create the Avahi poll"));
    }
    // Before the thread starts nobody else touches the client.
    connection->createClient();
    if (avahi_threaded_poll_start(connection->poll_) < 0) {
        connection->dropClient();
        return Failure(std::string("Cannot start the Avahi poll thread"));
    }
    return connection;
}

AvahiConnection::~AvahiConnection() {
    if (!poll_) {
        return;
    }
    avahi_threaded_poll_stop(poll_);
    if (client_) {
        avahi_client_free(client_);
    }
    avahi_threaded_poll_free(poll_);
}

void AvahiConnection::withClient(const std::function<void(AvahiClient*)>& work) {
    avahi_threaded_poll_lock(poll_);
    work(running_ ? client_ : nullptr);
    avahi_threaded_poll_unlock(poll_);
}

void AvahiConnection::createClient() {
    int error = 0;
    creating_ = true;
    AvahiClient* client = avahi_client_new(avahi_threaded_poll_get(poll_), AVAHI_CLIENT_NO_FAIL,
                                           &AvahiConnection::clientChanged, this, &error);
    creating_ = false;
    if (client && avahi_client_get_state(client) != AVAHI_CLIENT_FAILURE) {
        client_ = client;
        return;
    }
    if (client) {
        error = avahi_client_errno(client);
        client_ = client;
        dropClient();
    }
    // Even a waiting client needs the system bus; try again later without it.
    if (!reportedAbsent_) {
        log().error("DNS-SD %s unavailable (%s); retrying every %d s", purpose_.c_str(),
                    avahi_strerror(error), retrySeconds);
        reportedAbsent_ = true;
    }
    timeval due{};
    avahi_elapse_time(&due, retrySeconds * 1000, 0);
    const AvahiPoll* api = avahi_threaded_poll_get(poll_);
    api->timeout_new(api, &due, &AvahiConnection::retryDue, this);
}

void AvahiConnection::retryDue(AvahiTimeout* timeout, void* context) {
    auto* self = static_cast<AvahiConnection*>(context);
    const AvahiPoll* api = avahi_threaded_poll_get(self->poll_);
    api->timeout_free(timeout);
    self->createClient();
}

void AvahiConnection::dropClient() {
    if (running_ && handlers_.lost) {
        handlers_.lost();
    }
    running_ = false;
    if (client_) {
        avahi_client_free(client_);
        client_ = nullptr;
    }
}

void AvahiConnection::clientChanged(AvahiClient* client, AvahiClientState state, void* context) {
    auto* self = static_cast<AvahiConnection*>(context);
    // The first call can come from inside avahi_client_new, before it returned the client.
    self->client_ = client;
    switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            if (self->reportedAbsent_) {
                log().info("DNS-SD %s: the Avahi daemon answers", self->purpose_.c_str());
            }
            self->reportedAbsent_ = false;
            self->running_ = true;
            if (self->handlers_.running) {
                self->handlers_.running(client);
            }
            break;
        case AVAHI_CLIENT_S_REGISTERING:
        case AVAHI_CLIENT_S_COLLISION:
            if (self->running_ && self->handlers_.reset) {
                self->handlers_.reset();
            }
            break;
        case AVAHI_CLIENT_CONNECTING:
            if (!self->reportedAbsent_) {
                log().info("DNS-SD %s waits for the Avahi daemon", self->purpose_.c_str());
                self->reportedAbsent_ = true;
            }
            break;
        case AVAHI_CLIENT_FAILURE: {
            const int error = avahi_client_errno(client);
            log().info("DNS-SD %s lost the Avahi daemon (%s)", self->purpose_.c_str(),
                       avahi_strerror(error));
            self->reportedAbsent_ = true;
            if (self->creating_) {
                break;  // createClient() sees the failure when avahi_client_new returns
            }
            self->dropClient();
            self->createClient();
            break;
        }
    }
}

}  // namespace quillory
