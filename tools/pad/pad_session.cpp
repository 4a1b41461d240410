#include "tools/pad/pad_session.h"

#include "core/link/companion_listener.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/net/tcp_connect.h"
#include "protocol/reconnect_delay.h"

namespace quillory::pad {

namespace {

std::string caseName(ConnectionEnd::Case kind) {
    switch (kind) {
        case ConnectionEnd::Case::failure:
            return "failure";
        case ConnectionEnd::Case::interrupted:
            return "interrupted";
        case ConnectionEnd::Case::stopped:
            return "stopped";
        case ConnectionEnd::Case::identityChanged:
            return "identityChanged";
        case ConnectionEnd::Case::verification:
            return "verification";
        case ConnectionEnd::Case::trustRequired:
            return "trustRequired";
        case ConnectionEnd::Case::storage:
            return "storage";
        case ConnectionEnd::Case::incompatible:
            return "incompatible";
    }
    return "failure";
}

}  // namespace

PadSession::PadSession(PadOptions options, std::shared_ptr<EventOutput> output,
                       std::function<void(int)> finish, StudioShareMaker makeShare)
    : options_(std::move(options)),
      output_(std::move(output)),
      finish_(std::move(finish)),
      connectQueue_(std::make_unique<SerialQueue>("quillory-pad.connect")),
      intent_(options_.intent.value_or(Uuid::random())),
      studio_(std::make_shared<StudioCommand>(options_, output_, std::move(makeShare))) {}

PadSession::~PadSession() = default;

void PadSession::begin() {
    QUILLORY_CHECK_MAIN_THREAD();
    std::weak_ptr<PadSession> weak = weak_from_this();
    StrokeScript::Link strokesLink;
    strokesLink.send = [weak](std::vector<PenSample> samples) {
        auto self = weak.lock();
        if (!self || !self->channel_) {
            return false;
        }
        self->channel_->send(std::move(samples));
        return true;
    };
    strokesLink.drawn = [weak] {
        if (auto self = weak.lock()) {
            self->stopLink();
        }
    };
    strokes_ = std::make_shared<StrokeScript>(options_, output_, std::move(strokesLink));
    if (options_.command == PadOptions::Command::list) {
        browse([weak](const std::vector<CompanionHost>& hosts) {
            if (auto self = weak.lock()) {
                self->listHosts(hosts);
            }
        });
        return;
    }
    if (!loadHosts()) {
        return;
    }
    if (options_.command == PadOptions::Command::pair) {
        if (!openTrustStore()) {
            return;
        }
        if (!options_.host) {
            browse([weak](const std::vector<CompanionHost>& hosts) {
                if (auto self = weak.lock()) {
                    self->pairWithFoundHost(hosts);
                }
            });
            return;
        }
        target_ = Target{*options_.host, *options_.host, *options_.port, std::nullopt};
        if (const auto known = hosts_->byAddress(*options_.host, *options_.port)) {
            target_.expectedPeer = known->id;
        }
        connect(true);
        return;
    }
    const auto host = hosts_->find(options_.host, options_.port);
    if (!host) {
        fail(hosts_->hosts().empty()
                 ? "This tablet has not paired with a computer yet. Pair first: quillory-pad pair"
                 : "No paired computer matches “" + options_.host.value_or("") +
                       "”. Pair with it first: quillory-pad pair");
        return;
    }
    if (!openTrustStore()) {
        return;
    }
    target_ = Target{host->name, host->address, host->port, host->id};
    connect(false);
}

bool PadSession::loadHosts() {
    QUILLORY_CHECK_MAIN_THREAD();
    auto loaded = RememberedHosts::load(RememberedHosts::defaultPath());
    if (!loaded.hosts) {
        fail(loaded.error);
        return false;
    }
    hosts_ = std::move(loaded.hosts);
    return true;
}

bool PadSession::openTrustStore() {
    QUILLORY_CHECK_MAIN_THREAD();
    const auto folder = RememberedHosts::defaultPath().parent_path();
    auto opened =
        DeviceTrustStore::open(TrustStoreLocation{trustService, "identity-and-peers", folder});
    if (!opened.store) {
        fail(std::string("Cannot open this tablet’s device access (") +
             describe(opened.error.value_or(StoreError::unavailable)) +
             "). Unlock the keyring and try again.");
        return false;
    }
    store_ = std::move(opened.store);
    return true;
}

void PadSession::browse(std::function<void(const std::vector<CompanionHost>&)> settled) {
    QUILLORY_CHECK_MAIN_THREAD();
    search_ = std::make_shared<HostSearch>();
    if (auto started = search_->start(options_.wait, std::move(settled)); !started) {
        fail("Cannot look for Quillory computers on the network: " + started.error() + ".");
    }
}

void PadSession::listHosts(const std::vector<CompanionHost>& hosts) {
    QUILLORY_CHECK_MAIN_THREAD();
    for (const auto& host : hosts) {
        output_->event(
            "host",
            {{"name", host.name},
             {"id", host.id},
             {"address", host.address},
             {"port", host.port},
             {"version", host.version},
             {"platform", host.platform}},
            host.name + "  " + host.address + " port " + std::to_string(host.port) +
                (host.version == "9" ? "" : "  (needs Quillory version " + host.version + ")"));
    }
    if (hosts.empty()) {
        output_->event("empty", {}, "No Quillory computer found on the network.");
    }
    succeed();
}

void PadSession::pairWithFoundHost(const std::vector<CompanionHost>& hosts) {
    QUILLORY_CHECK_MAIN_THREAD();
    std::optional<CompanionHost> chosen;
    for (const auto& host : hosts) {
        if (host.version == CompanionListener::protocolVersion) {
            chosen = host;
            break;
        }
    }
    if (!chosen) {
        fail("No Quillory computer found on the network. Name one with --host and --port.");
        return;
    }
    target_ = Target{chosen->name, chosen->address, chosen->port, std::nullopt};
    if (hosts_->byId(chosen->id)) {
        target_.expectedPeer = chosen->id;
    }
    connect(true);
}

void PadSession::connect(bool allowPairing) {
    QUILLORY_CHECK_MAIN_THREAD();
    output_->event("connecting",
                   {{"name", target_.name},
                    {"address", target_.address},
                    {"port", target_.port},
                    {"intent", intent_.text()}},
                   "Connecting to " + target_.name + "…");
    std::weak_ptr<PadSession> weak = weak_from_this();
    connectQueue_->async([weak, address = target_.address, port = target_.port, allowPairing] {
        auto result = connectTcp(address, port, connectTimeout);
        auto connection = std::make_shared<StreamConnection>(result.fd);
        MainQueue::post([weak, connection, error = result.error, allowPairing] {
            if (auto self = weak.lock()) {
                self->connected(std::move(*connection), error, allowPairing);
            }
        });
    });
}

void PadSession::connected(StreamConnection connection, const std::string& error,
                           bool allowPairing) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (finished_) {
        return;
    }
    if (connection.fd() < 0) {
        if (reconnecting_) {
            output_->event("unreachable", {{"message", error}}, error);
            scheduleReconnect();
        } else {
            fail(error);
        }
        return;
    }
    auto channel = PenChannel::create(std::move(connection), PenChannel::Role::pad, options_.name,
                                      store_, intent_, target_.expectedPeer, allowPairing);
    if (!channel) {
        fail("Could not start the link.");
        return;
    }
    channel_ = channel;
    context_.reset();
    observe(channel);
    channel->start();
}

void PadSession::observe(const std::shared_ptr<PenChannel>& channel) {
    QUILLORY_CHECK_MAIN_THREAD();
    std::weak_ptr<PadSession> weak = weak_from_this();
    const PenChannel* identity = channel.get();
    // Each callback acts only while its channel is the current one.
    auto current = [weak, identity]() -> std::shared_ptr<PadSession> {
        auto self = weak.lock();
        return self && self->channel_.get() == identity ? self : nullptr;
    };
    channel->onPeer = [current](RememberedDevice device, Uuid) {
        if (auto self = current()) {
            self->output_->event("peer", {{"name", device.name}, {"deviceKey", device.id()}}, {});
            self->peer_ = std::move(device);
        }
    };
    channel->onPairing = [current](const std::string& code, const std::string& peerName) {
        if (auto self = current()) {
            self->awaitingCode_ = true;
            self->output_->event(
                "pairing", {{"code", code}, {"peer", peerName}},
                "Pairing code: " + code + "\nCheck that " + peerName +
                    " shows the same code, then type y and press Enter (anything else cancels):");
        }
    };
    channel->onApprovalChange = [current](bool local, bool remote) {
        if (auto self = current()) {
            self->output_->event("approval", {{"local", local}, {"remote", remote}},
                                 remote && !local ? "The computer confirmed the code." : "");
        }
    };
    channel->onReady = [current] {
        if (auto self = current()) {
            self->ready();
        }
    };
    channel->onLatency = [current](LinkLatency latency) {
        if (auto self = current()) {
            self->output_->event("latency", {{"status", latency.statusText()}}, {});
        }
    };
    channel->onDisplay = [current](DisplayGeometry display) {
        if (auto self = current()) {
            self->output_->event("display", {{"display", display.toJSON()}}, {});
        }
    };
    channel->onDesktopContext = [current](DesktopContext context) {
        if (auto self = current()) {
            self->contextArrived(context);
        }
    };
    channel->onControls = [current](ControlsSignal controls) {
        if (auto self = current()) {
            self->controlsArrived(controls);
        }
    };
    channel->onStudio = [current](StudioSignal studio) {
        if (auto self = current()) {
            self->studioArrived(studio);
        }
    };
    channel->onEnded = [current](ConnectionEnd end) {
        if (auto self = current()) {
            self->ended(end);
        }
    };
}

void PadSession::ready() {
    QUILLORY_CHECK_MAIN_THREAD();
    awaitingCode_ = false;
    linkWasReady_ = true;
    reconnecting_ = false;
    recovery_.markConnected();
    output_->event("ready", {}, "Connected to " + (peer_ ? peer_->name : target_.name) + ".");
    if (options_.command == PadOptions::Command::pair) {
        const RememberedHost host{peer_->id(), peer_->name, target_.address, target_.port};
        if (!hosts_->remember(host)) {
            stopLink(1, "Paired, but the computer could not be saved in " +
                            RememberedHosts::defaultPath().string() + ".");
            return;
        }
        output_->event("paired", {{"name", host.name}, {"id", host.id}},
                       "Paired with " + host.name + ".");
        stopLink();
    } else if (options_.command == PadOptions::Command::studio) {
        studio_->start(studioLink());
    }
}

StudioShareLink PadSession::studioLink() {
    std::weak_ptr<PadSession> weak = weak_from_this();
    StudioShareLink link;
    link.send = [weak](const StudioSignal& signal) {
        if (auto self = weak.lock(); self && self->channel_) {
            self->channel_->send(signal);
        }
    };
    link.draw = [weak](std::vector<PenSample> samples) {
        if (auto self = weak.lock()) {
            self->strokes_->type(std::move(samples));
        }
    };
    link.localAddress = [weak]() -> std::optional<std::string> {
        auto self = weak.lock();
        return self && self->channel_ ? self->channel_->localAddress() : std::nullopt;
    };
    link.finished = [weak](int status, std::string message) {
        if (auto self = weak.lock()) {
            self->stopLink(status, std::move(message));
        }
    };
    return link;
}

void PadSession::studioArrived(const StudioSignal& signal) {
    QUILLORY_CHECK_MAIN_THREAD();
    output_->event("studio", {{"studio", signal.toJSON()}}, {});
    if (!stop_) {
        studio_->studioArrived(signal);
    }
}

void PadSession::contextArrived(const DesktopContext& context) {
    QUILLORY_CHECK_MAIN_THREAD();
    context_ = context;
    // Pairing has no use for it beyond scripts.
    output_->event("context", {{"context", context.toJSON()}},
                   options_.command == PadOptions::Command::pair
                       ? std::string()
                       : "The computer shows " + context.name + ".");
    if (options_.command == PadOptions::Command::draw && strokes_->isIdle() && !stop_) {
        strokes_->drawNextStroke();
    } else if (options_.command == PadOptions::Command::key && !actionSent_) {
        DesktopAction action;
        action.contextID = context.id;
        action.kind = DesktopAction::Kind::tap;
        action.keys = options_.chord;
        channel_->send(action);
        actionSent_ = true;
        output_->event("action", {{"action", action.toJSON()}},
                       "Tapped " + displayText(action.keys) + ".");
        stopLink();
    } else if ((options_.command == PadOptions::Command::commands ||
                options_.command == PadOptions::Command::record) &&
               !actionSent_) {
        sendControlsRequest(context);
    }
}

void PadSession::sendControlsRequest(const DesktopContext& context) {
    ControlsSignal request;
    request.id = requestID_ = Uuid::random();
    request.applicationID = context.applicationID;
    if (options_.command == PadOptions::Command::commands) {
        request.kind = ControlsSignal::Kind::listCommands;
    } else {
        request.kind = ControlsSignal::Kind::record;
        request.name = options_.recordName;
    }
    channel_->send(request);
    actionSent_ = true;
    output_->event("request", {{"controls", request.toJSON()}},
                   options_.command == PadOptions::Command::commands
                       ? "Asked " + context.name + " for its commands…"
                       : "Type the shortcut for " + options_.recordName + " on the computer…");
}

void PadSession::controlsArrived(const ControlsSignal& controls) {
    const bool answer = actionSent_ && controls.id == requestID_ && !stop_;
    if (answer && controls.kind == ControlsSignal::Kind::commands &&
        options_.command == PadOptions::Command::commands) {
        const auto& commands = controls.commands.value_or(std::vector<MenuCommand>{});
        std::string text;
        for (const auto& command : commands) {
            for (const auto& menu : command.path) {
                text += menu + " › ";
            }
            text += command.title;
            if (!command.keys.empty()) {
                text += "  " + displayText(command.keys);
            }
            text += "\n";
        }
        if (!text.empty()) {
            text.pop_back();
        }
        const bool final = controls.final.value_or(false);
        output_->event("commands",
                       {{"commands", json_codec::encodeValue(commands)}, {"final", final}}, text);
        if (final) {
            stopLink();
        }
        return;
    }
    if (answer && options_.command == PadOptions::Command::record) {
        if (controls.kind == ControlsSignal::Kind::recorded && controls.keys) {
            output_->event(
                "recorded",
                {{"name", controls.name.value_or(options_.recordName)},
                 {"keys", json_codec::encodeValue(*controls.keys)}},
                "Recorded " + displayText(*controls.keys) + " for " + options_.recordName + ".");
            stopLink();
            return;
        }
        if (controls.kind == ControlsSignal::Kind::cancelRecording) {
            output_->event("cancelRecording", {}, {});
            stopLink(1, "The recording was cancelled on the computer.");
            return;
        }
    }
    output_->event("controls", {{"controls", controls.toJSON()}}, {});
}

void PadSession::stopLink(int status, std::string message) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!channel_ || stop_) {
        return;
    }
    stop_ = Outcome{status, std::move(message)};
    studio_->stop();
    // A refused stop ends the link as a storage failure, reported by ended().
    if (!channel_->stop()) {
        *stop_ = Outcome{1, {}};
    }
}

void PadSession::ended(const ConnectionEnd& end) {
    QUILLORY_CHECK_MAIN_THREAD();
    channel_.reset();
    strokes_->linkEnded();
    studio_->linkEnded();
    awaitingCode_ = false;
    output_->event("ended", {{"end", caseName(end.kind())}, {"message", end.message()}}, {});
    if (stop_ && end.kind() == ConnectionEnd::Case::stopped) {
        if (stop_->status == 0) {
            succeed();
        } else {
            fail(stop_->message.empty() ? end.message() : stop_->message, stop_->status);
        }
        return;
    }
    if (end.isInterrupted() && options_.reconnect && linkWasReady_) {
        output_->event("interrupted", {}, end.message());
        reconnecting_ = true;
        scheduleReconnect();
        return;
    }
    fail(end.isInterrupted() ? "Connection interrupted." : end.message());
}

void PadSession::scheduleReconnect() {
    QUILLORY_CHECK_MAIN_THREAD();
    const auto delay = reconnectDelay(recovery_.attempt());
    output_->event("reconnecting", {{"attempt", recovery_.attempt() + 1}, {"delay", delay}}, {});
    std::weak_ptr<PadSession> weak = weak_from_this();
    // Same intent, and no pairing: the host must still know this tablet.
    recovery_.scheduleRetry([weak] {
        if (auto self = weak.lock(); self && !self->finished_) {
            self->connect(false);
        }
    });
}

void PadSession::input(const std::string& line) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (awaitingCode_ && channel_) {
        awaitingCode_ = false;
        if (line == "y" || line == "Y") {
            if (!channel_->approve()) {
                fail("The code could not be confirmed.");
                return;
            }
            output_->event("confirmed", {}, "Confirmed; waiting for the computer…");
            return;
        }
        output_->event("declined", {}, {});
        stopLink(1, "Pairing cancelled.");
        return;
    }
    if (studio_->share() && channel_ && !stop_) {
        studio_->share()->input(line);
        return;
    }
    if (line == "quit") {
        if (channel_) {
            stopLink();
        } else {
            succeed();
        }
    }
}

void PadSession::endOfInput() {
    QUILLORY_CHECK_MAIN_THREAD();
    // Nobody is left to confirm a code.
    if (awaitingCode_) {
        input("");
    } else if (studio_->share() && channel_ && !stop_) {
        studio_->share()->endOfInput();
    }
}

void PadSession::interrupt() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (studio_->share() && channel_ && !stop_) {
        studio_->share()->interrupt();
        return;
    }
    if (channel_ && !stop_) {
        stopLink(130, "Interrupted.");
        return;
    }
    fail("Interrupted.", 130);
}

void PadSession::fail(const std::string& message, int status) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (finished_) {
        return;
    }
    if (channel_) {
        // Finished once the channel has ended, so that nothing of it outlives the run.
        if (!stop_) {
            stop_ = Outcome{status, message};
            studio_->stop();
        }
        channel_->close(ConnectionEnd(ConnectionEnd::Case::stopped),
                        PenChannel::Cause::application);
        return;
    }
    finished_ = true;
    output_->error(message);
    recovery_.cancel();
    finish_(status);
}

void PadSession::succeed() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (finished_) {
        return;
    }
    finished_ = true;
    recovery_.cancel();
    finish_(0);
}

}  // namespace quillory::pad
