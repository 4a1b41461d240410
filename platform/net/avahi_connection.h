#pragma once

#include <avahi-client/client.h>
#include <avahi-common/thread-watch.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/result/result.h"

namespace quillory {

// An Avahi client on a threaded poll that outlives the daemon: created with
// AVAHI_CLIENT_NO_FAIL, so it waits for a daemon that is not there yet, and created anew when
// the daemon goes away. Handlers run on the poll thread with its lock held.
class AvahiConnection {
  public:
    struct Handlers {
        std::function<void(AvahiClient*)> running;  // the daemon answers: (re)create objects
        std::function<void()> reset;                // host name change: withdraw, keep objects
        std::function<void()> lost;                 // the client is about to be freed
    };

    // Starts the poll thread; the error says why it could not.
    static Result<std::unique_ptr<AvahiConnection>, std::string> open(std::string purpose,
                                                                      Handlers handlers);
    ~AvahiConnection();
    AvahiConnection(const AvahiConnection&) = delete;
    AvahiConnection& operator=(const AvahiConnection&) = delete;

    // Runs work under the poll lock with the running client, or with none. Never from the poll
    // thread itself.
    void withClient(const std::function<void(AvahiClient*)>& work);

    static constexpr int retrySeconds = 5;

  private:
    AvahiConnection(std::string purpose, Handlers handlers);
    static void clientChanged(AvahiClient* client, AvahiClientState state, void* context);
    static void retryDue(AvahiTimeout* timeout, void* context);
    void createClient();
    void dropClient();

    const std::string purpose_;
    const Handlers handlers_;
    AvahiThreadedPoll* poll_ = nullptr;
    AvahiClient* client_ = nullptr;
    bool running_ = false;
    bool creating_ = false;
    bool reportedAbsent_ = false;
};

}  // namespace quillory
