// A headless host for end-to-end tests: listens and advertises like the application, accepts one
// tablet at a time in the host role, prints every callback as a JSON line and takes commands on
// standard input:
//   approve | stop | forget <device key> | context <applicationID> <name> | quit

#include <cstdlib>
#include <sstream>

#include "core/link/companion_listener.h"
#include "core/link/device_trust_store.h"
#include "core/link/pen_channel.h"
#include "platform/files/xdg_dirs.h"
#include "tools/pad/console_loop.h"
#include "tools/pad/event_output.h"

namespace quillory {
namespace {

using pad::ConsoleLoop;
using pad::EventOutput;

class TestHost : public std::enable_shared_from_this<TestHost> {
  public:
    TestHost(std::string name, std::uint16_t port, ConsoleLoop& console)
        : name_(std::move(name)), port_(port), console_(console) {}

    void begin() {
        const std::filesystem::path folder = xdgDataHome() / "quillory-test-host";
        auto opened = DeviceTrustStore::open(TrustStoreLocation{
            "com.quillory.test-host.device-trust.v4", "identity-and-peers", folder});
        if (!opened.store) {
            output_.error(std::string("trust store: ") +
                          describe(opened.error.value_or(StoreError::unavailable)));
            console_.finish(1);
            return;
        }
        store_ = opened.store;
        listener_ = CompanionListener::create(nullptr, port_);
        std::weak_ptr<TestHost> weak = weak_from_this();
        listener_->onReady = [weak] {
            if (auto self = weak.lock()) {
                self->output_.event("listening",
                                    {{"port", self->listener_->port()},
                                     {"fingerprint", self->store_->fingerprint()}},
                                    {});
            }
        };
        listener_->onFailure = [weak](const std::system_error& error) {
            if (auto self = weak.lock()) {
                self->output_.event("listenerFailed", {{"message", error.what()}}, {});
            }
        };
        listener_->onConnection = [weak](StreamConnection connection) {
            if (auto self = weak.lock()) {
                self->accept(std::move(connection));
            }
        };
        if (auto started = listener_->start(name_, store_->fingerprint()); !started) {
            output_.error(std::string("listener: ") + started.error().what());
            console_.finish(1);
        }
    }

    void command(const std::string& line) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "approve") {
            output_.event("approveResult", {{"result", channel_ && channel_->approve()}}, {});
        } else if (verb == "stop") {
            output_.event("stopResult", {{"result", channel_ && channel_->stop()}}, {});
        } else if (verb == "forget") {
            std::string key;
            words >> key;
            const auto error = store_->forget(key);
            output_.event("forgotten", {{"deviceKey", key}, {"ok", !error}}, {});
        } else if (verb == "context") {
            std::string applicationID;
            words >> applicationID;
            std::string name;
            std::getline(words >> std::ws, name);
            sendContext(applicationID, name);
        } else if (verb == "quit") {
            quit();
        } else if (!verb.empty()) {
            output_.error("unknown command: " + line);
        }
    }

    void quit() {
        quitting_ = true;
        listener_.reset();
        if (!channel_) {
            console_.finish(0);
            return;
        }
        channel_->close(ConnectionEnd(ConnectionEnd::Case::stopped),
                        PenChannel::Cause::application);
    }

  private:
    void accept(StreamConnection connection) {
        // One tablet at a time.
        if (channel_) {
            connection.cancel();
            output_.event("refused", {}, {});
            return;
        }
        auto channel = PenChannel::create(std::move(connection), PenChannel::Role::mac, name_,
                                          store_, Uuid::random(), std::nullopt, true);
        if (!channel) {
            output_.error("channel could not be created");
            return;
        }
        channel_ = channel;
        observe(channel);
        output_.event("connection", {}, {});
        channel->start();
    }

    void observe(const std::shared_ptr<PenChannel>& channel) {
        std::weak_ptr<TestHost> weak = weak_from_this();
        const PenChannel* identity = channel.get();
        auto current = [weak, identity]() -> std::shared_ptr<TestHost> {
            auto self = weak.lock();
            return self && self->channel_.get() == identity ? self : nullptr;
        };
        EventOutput* output = &output_;
        // The receivers run on the transport queue; the output is thread-safe and outlives them.
        channel->setInputReceivers(
            [output](const std::vector<PenSample>& samples) {
                output->event("samples", {{"samples", json_codec::encodeValue(samples)}}, {});
            },
            [output](const DesktopAction& action) {
                output->event("action", {{"action", action.toJSON()}}, {});
            },
            [output] { output->event("cancelled", {}, {}); },
            [output] { output->event("inputEnded", {}, {}); });
        channel->onPeer = [current](RememberedDevice device, Uuid intent) {
            if (auto self = current()) {
                self->output_.event(
                    "peer",
                    {{"name", device.name}, {"deviceKey", device.id()}, {"intent", intent.text()}},
                    {});
            }
        };
        channel->onPairing = [current](const std::string& code, const std::string& peer) {
            if (auto self = current()) {
                self->output_.event("pairing", {{"code", code}, {"peer", peer}}, {});
            }
        };
        channel->onApprovalChange = [current](bool local, bool remote) {
            if (auto self = current()) {
                self->output_.event("approval", {{"local", local}, {"remote", remote}}, {});
            }
        };
        channel->onReady = [current] {
            if (auto self = current()) {
                self->output_.event("ready", {}, {});
                self->sendContext("org.quillory.canvas", "Canvas");
            }
        };
        channel->onLatency = [current](LinkLatency latency) {
            if (auto self = current()) {
                self->output_.event("latency", {{"status", latency.statusText()}}, {});
            }
        };
        channel->onControls = [current](ControlsSignal controls) {
            if (auto self = current()) {
                self->output_.event("controls", {{"controls", controls.toJSON()}}, {});
            }
        };
        channel->onStudio = [current](StudioSignal studio) {
            if (auto self = current()) {
                self->output_.event("studio", {{"studio", studio.toJSON()}}, {});
            }
        };
        channel->onEnded = [current](ConnectionEnd end) {
            if (auto self = current()) {
                self->channel_.reset();
                self->output_.event("ended", {{"end", end.caseName()}, {"message", end.message()}},
                                    {});
                if (self->quitting_) {
                    self->console_.finish(0);
                }
            }
        };
    }

    void sendContext(const std::string& applicationID, const std::string& name) {
        if (!channel_) {
            output_.error("no channel for a desktop context");
            return;
        }
        DesktopContext context;
        context.id = Uuid::random();
        context.applicationID = applicationID;
        context.name = name;
        context.inputEnabled = true;
        channel_->send(context);
        output_.event("contextSent", {{"context", context.toJSON()}}, {});
    }

    const std::string name_;
    const std::uint16_t port_;
    ConsoleLoop& console_;
    EventOutput output_{true};
    std::shared_ptr<DeviceTrustStore> store_;
    std::shared_ptr<CompanionListener> listener_;
    std::shared_ptr<PenChannel> channel_;
    bool quitting_ = false;
};

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    using namespace quillory;
    std::string name = "Quillory Test Host";
    std::uint16_t port = 0;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string option = argv[index];
        if (option == "--name") {
            name = argv[index + 1];
        } else if (option == "--port") {
            port = static_cast<std::uint16_t>(std::stoul(argv[index + 1]));
        }
    }
    pad::ConsoleLoop console;
    auto host = std::make_shared<TestHost>(name, port, console);
    std::weak_ptr<TestHost> weak = host;
    auto quit = [weak] {
        if (auto self = weak.lock()) {
            self->quit();
        }
    };
    return console.runProgram(
        std::move(host),
        [weak] {
            if (auto self = weak.lock()) {
                self->begin();
            }
        },
        pad::ConsoleLoop::Handlers{[weak](std::string line) {
                                       if (auto self = weak.lock()) {
                                           self->command(line);
                                       }
                                   },
                                   quit, quit});
}
