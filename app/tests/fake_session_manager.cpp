#include "app/tests/fake_session_manager.h"

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace quillory::testing {

struct FakeSessionManager::State {
    std::string address;
    std::string error;
    int listenerCount = 0;
    IceListenObj* listeners = nullptr;
    IceConn ice = nullptr;
    SmsConn client = nullptr;
    bool registered = false;
    bool gone = false;
    int saves = 0;
};

namespace {

Bool allowAnyHost(char*) {
    return True;
}

Status newClient(SmsConn connection, SmPointer data, unsigned long* mask, SmsCallbacks* callbacks,
                 char**) {
    using S = FakeSessionManager::State;
    auto* state = static_cast<S*>(data);
    state->client = connection;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    *callbacks = {};
    callbacks->register_client = {[](SmsConn client, SmPointer me, char* previous) -> Status {
                                      char* id = SmsGenerateClientID(client);
                                      SmsRegisterClientReply(client, id ? id : previous);
                                      free(id);
                                      free(previous);
                                      static_cast<S*>(me)->registered = true;
                                      return 1;
                                  },
                                  state};
    callbacks->interact_request = {[](SmsConn client, SmPointer, int) { SmsInteract(client); },
                                   state};
    callbacks->interact_done = {[](SmsConn, SmPointer, Bool) {}, state};
    callbacks->save_yourself_request = {[](SmsConn, SmPointer, int, Bool, int, Bool, Bool) {},
                                        state};
    callbacks->save_yourself_phase2_request = {
        [](SmsConn client, SmPointer) { SmsSaveYourselfPhase2(client); }, state};
    callbacks->save_yourself_done = {
        [](SmsConn, SmPointer me, Bool) { ++static_cast<S*>(me)->saves; }, state};
    callbacks->close_connection = {[](SmsConn, SmPointer me, int count, char** reasons) {
                                       SmFreeReasons(count, reasons);
                                       static_cast<S*>(me)->gone = true;
                                   },
                                   state};
    callbacks->set_properties = {[](SmsConn, SmPointer, int count, SmProp** properties) {
                                     for (int i = 0; i < count; ++i) {
                                         SmFreeProperty(properties[i]);
                                     }
                                     free(properties);
                                 },
                                 state};
    callbacks->delete_properties = {[](SmsConn, SmPointer, int count, char** names) {
                                        for (int i = 0; i < count; ++i) {
                                            free(names[i]);
                                        }
                                        free(names);
                                    },
                                    state};
    callbacks->get_properties = {
        [](SmsConn client, SmPointer) { SmsReturnProperties(client, 0, nullptr); }, state};
    return 1;
}

}  // namespace

FakeSessionManager::FakeSessionManager() : state_(std::make_unique<State>()) {
    IceSetIOErrorHandler([](IceConn) {});  // the default one exits the process
    char error[256] = "";
    if (!SmsInitialize("quillory-test", "1", &newClient, state_.get(), &allowAnyHost, sizeof error,
                       error) ||
        !IceListenForConnections(&state_->listenerCount, &state_->listeners, sizeof error, error)) {
        state_->error = error[0] ? error : "the session manager could not listen";
        return;
    }
    for (int i = 0; i < state_->listenerCount; ++i) {
        IceSetHostBasedAuthProc(state_->listeners[i], &allowAnyHost);
    }
    char* ids = IceComposeNetworkIdList(state_->listenerCount, state_->listeners);
    state_->address = ids;
    free(ids);
}

FakeSessionManager::~FakeSessionManager() {
    if (state_->ice) {
        IceSetShutdownNegotiation(state_->ice, False);
        IceCloseConnection(state_->ice);
    }
    if (state_->listeners) {
        IceFreeListenObjs(state_->listenerCount, state_->listeners);
    }
}

std::string FakeSessionManager::address() const {
    return state_->address;
}

std::string FakeSessionManager::error() const {
    return state_->error;
}

bool FakeSessionManager::registered() const {
    return state_->registered;
}

int FakeSessionManager::saves() const {
    return state_->saves;
}

bool FakeSessionManager::serveUntil(const std::function<bool()>& done, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (state_->gone || std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::vector<pollfd> fds;
        for (int i = 0; i < state_->listenerCount; ++i) {
            fds.push_back({IceGetListenConnectionNumber(state_->listeners[i]), POLLIN, 0});
        }
        if (state_->ice) {
            fds.push_back({IceConnectionNumber(state_->ice), POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), 50);
        for (int i = 0; i < state_->listenerCount; ++i) {
            IceAcceptStatus status;
            if (fds[static_cast<std::size_t>(i)].revents & POLLIN) {
                state_->ice = IceAcceptConnection(state_->listeners[i], &status);
            }
        }
        if (state_->ice && (fds.back().revents & (POLLIN | POLLHUP)) &&
            IceProcessMessages(state_->ice, nullptr, nullptr) != IceProcessMessagesSuccess) {
            state_->gone = true;
        }
    }
    return true;
}

void FakeSessionManager::saveYourself(bool shutdown) {
    SmsSaveYourself(state_->client, SmSaveBoth, shutdown ? True : False,
                    shutdown ? SmInteractStyleAny : SmInteractStyleNone, False);
}

void FakeSessionManager::shutdownCancelled() {
    SmsShutdownCancelled(state_->client);
}

void FakeSessionManager::die() {
    SmsDie(state_->client);
}

}  // namespace quillory::testing
