#pragma once

#include <functional>
#include <memory>
#include <string>

namespace quillory::testing {

// A session manager speaking XSMP over ICE, as much as one client needs: it registers the client,
// asks it to save, cancels a log-out and tells it to die. Served on the test's thread; the X
// session headers stay in its own file, as their macros clash with Qt's and gtest's names.
class FakeSessionManager {
  public:
    FakeSessionManager();
    ~FakeSessionManager();
    FakeSessionManager(const FakeSessionManager&) = delete;
    FakeSessionManager& operator=(const FakeSessionManager&) = delete;

    // What a client's SESSION_MANAGER names; empty, with `error`, when listening failed.
    std::string address() const;
    std::string error() const;

    // Serves the client until `done` holds; false once it is gone or `milliseconds` passed.
    bool serveUntil(const std::function<bool()>& done, int milliseconds);
    void saveYourself(bool shutdown);
    void shutdownCancelled();
    void die();

    bool registered() const;
    int saves() const;

    struct State;  // what the library's callbacks reach

  private:
    std::unique_ptr<State> state_;
};

}  // namespace quillory::testing
