#include "tools/pad/pad_session.h"

#include <filesystem>
#include <fstream>

#include "core/link/companion_listener.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/net/tcp_connect.h"
#include "protocol/reconnect_delay.h"
#include "tools/pad/stroke_shape.h"

namespace quillory::pad {

namespace {

Json samplesJSON(const std::vector<PenSample>& samples) {
    return json_codec::encodeValue(samples);
}

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
      makeShare_(std::move(makeShare)),
      connectQueue_(std::make_unique<SerialQueue>("quillory-pad.connect")),
      intent_(options_.intent.value_or(Uuid::random())) {}

PadSession::~PadSession() = default;

void PadSession::begin() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (options_.command == PadOptions::Command::list) {
        browse([this] { listHosts(); });
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
            browse([this] { pairWithFoundHost(); });
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

void PadSession::browse(std::function<void()> settled) {
    QUILLORY_CHECK_MAIN_THREAD();
    browser_ = CompanionBrowser::create();
    std::weak_ptr<PadSession> weak = weak_from_this();
    // Whichever comes first ends the browsing, once.
    auto finish = [weak, settled] {
        auto self = weak.lock();
        if (!self || !self->browser_) {
            return;
        }
        self->browseTimer_.cancel();
        self->settleTimer_.cancel();
        settled();
        self->browser_.reset();
    };
    // Done when the network has answered and no new host appeared for a moment, or at the limit.
    auto settleSoon = [weak, finish] {
        if (auto self = weak.lock()) {
            self->settleTimer_ = MainQueue::after(0.5, finish);
        }
    };
    browser_->onAllForNow = settleSoon;
    browser_->onHostsChanged = [weak, settleSoon](const std::vector<CompanionHost>&) {
        if (auto self = weak.lock(); self && self->settleTimer_.isScheduled()) {
            settleSoon();
        }
    };
    browseTimer_ = MainQueue::after(options_.wait, finish);
    if (auto started = browser_->start(); !started) {
        browseTimer_.cancel();
        browser_.reset();
        fail("Cannot look for Quillory computers on the network: " + started.error() + ".");
    }
}

void PadSession::listHosts() {
    QUILLORY_CHECK_MAIN_THREAD();
    const auto hosts = browser_->hosts();
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

void PadSession::pairWithFoundHost() {
    QUILLORY_CHECK_MAIN_THREAD();
    std::optional<CompanionHost> chosen;
    for (const auto& host : browser_->hosts()) {
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
    } else if (options_.command == PadOptions::Command::studio &&
               options_.studio == PadOptions::Studio::share) {
        if (!share_) {
            startStudioShare();
        }
    } else if (options_.command == PadOptions::Command::studio && !listing_) {
        listStudioSources();
    }
}

void PadSession::startStudioShare() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!makeShare_) {
        stopLink(1, "This program was built without video: studio share is not available.");
        return;
    }
    std::weak_ptr<PadSession> weak = weak_from_this();
    StudioShareLink link;
    link.send = [weak](const StudioSignal& signal) {
        if (auto self = weak.lock(); self && self->channel_) {
            self->channel_->send(signal);
        }
    };
    link.draw = [weak](std::vector<PenSample> samples) {
        if (auto self = weak.lock()) {
            self->shareStroke_.insert(self->shareStroke_.end(), samples.begin(), samples.end());
            if (!self->shareStrokeTimer_.isScheduled()) {
                self->sendShareSample();
            }
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
    share_ = makeShare_(options_, output_, std::move(link));
    share_->start();
}

void PadSession::listStudioSources() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (options_.thumbnails) {
        std::error_code error;
        std::filesystem::create_directories(*options_.thumbnails, error);
        if (error) {
            stopLink(1, "Cannot create " + *options_.thumbnails + ": " + error.message() + ".");
            return;
        }
    }
    listing_.emplace(Uuid::random());
    listSentAt_ = uptimeNanoseconds();
    channel_->send(
        StudioSignal{.id = listing_->request(), .kind = StudioSignal::Kind::listSources});
    std::weak_ptr<PadSession> weak = weak_from_this();
    studioTimer_ = MainQueue::after(studioListTimeout, [weak] {
        if (auto self = weak.lock()) {
            self->studioListingTimedOut();
        }
    });
}

void PadSession::sendShareSample() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!channel_ || shareStroke_.empty()) {
        shareStroke_.clear();
        return;
    }
    // One sample a message at a stylus's rate, as the pen draws: the computer moves the pointer
    // to the last sample of each message.
    // A fired timer still counts as scheduled until cancelled; the next stroke tests it.
    shareStrokeTimer_.cancel();
    auto sample = shareStroke_.front();
    shareStroke_.pop_front();
    sample.sequence = ++sequence_;
    sample.timestamp = uptimeSeconds();
    channel_->send(std::vector<PenSample>{sample});
    if (shareStroke_.empty()) {
        return;
    }
    std::weak_ptr<PadSession> weak = weak_from_this();
    shareStrokeTimer_ = MainQueue::after(1.0 / samplesPerSecond, [weak] {
        if (auto self = weak.lock()) {
            self->sendShareSample();
        }
    });
}

void PadSession::studioArrived(const StudioSignal& signal) {
    QUILLORY_CHECK_MAIN_THREAD();
    output_->event("studio", {{"studio", signal.toJSON()}}, {});
    if (share_ && !stopRequested_) {
        share_->studioArrived(signal);
        return;
    }
    if (!listing_ || stopRequested_) {
        return;
    }
    const double arrival = static_cast<double>(uptimeNanoseconds() - listSentAt_) / 1e9;
    switch (listing_->take(signal)) {
        case StudioListing::Step::ignored:
            return;
        case StudioListing::Step::failure:
            stopLink(1, "The computer refused the list: " + signal.message.value_or(""));
            return;
        case StudioListing::Step::sources:
            for (const auto& source : listing_->sources()) {
                const auto icon = source.iconPNG ? pngSize(*source.iconPNG) : std::nullopt;
                Json fields = {
                    {"id", source.id.text()},
                    {"kind", source.kind == StudioSource::Kind::display ? "display" : "window"},
                    {"name", source.name},
                    {"application", source.application.value_or("")}};
                if (icon) {
                    fields["iconWidth"] = icon->width;
                    fields["iconHeight"] = icon->height;
                }
                output_->event("source", std::move(fields), sourceText(source));
            }
            if (listing_->sources().empty()) {
                output_->event("empty", {}, "The computer has nothing to share.");
            }
            break;
        case StudioListing::Step::thumbnail: {
            const auto size = jpegSize(*signal.thumbnail);
            Json fields = {{"sourceID", signal.sourceID->text()},
                           {"bytes", signal.thumbnail->size()},
                           {"arrival", arrival}};
            std::string text = "thumbnail " + signal.sourceID->text();
            if (size) {
                fields["width"] = size->width;
                fields["height"] = size->height;
                text += "  " + std::to_string(size->width) + "×" + std::to_string(size->height);
            }
            if (options_.thumbnails) {
                const auto path = std::filesystem::path(*options_.thumbnails) /
                                  (signal.sourceID->text() + ".jpg");
                std::ofstream file(path, std::ios::binary);
                file.write(reinterpret_cast<const char*>(signal.thumbnail->data()),
                           static_cast<std::streamsize>(signal.thumbnail->size()));
                if (!file.flush()) {
                    stopLink(1, "Cannot write " + path.string() + ".");
                    return;
                }
                fields["file"] = path.string();
            }
            output_->event("thumbnail", std::move(fields), text);
            break;
        }
    }
    if (listing_->complete()) {
        finishStudioListing();
        return;
    }
    // Sources whose picture cannot be taken get none: the list ends when the thumbnails pause.
    std::weak_ptr<PadSession> weak = weak_from_this();
    studioTimer_ = MainQueue::after(studioThumbnailTimeout, [weak] {
        if (auto self = weak.lock()) {
            self->studioListingTimedOut();
        }
    });
}

void PadSession::studioListingTimedOut() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!listing_ || stopRequested_) {
        return;
    }
    if (!listing_->hasSources()) {
        stopLink(1, "The computer did not answer the source list. Is Studio available there?");
        return;
    }
    finishStudioListing();
}

void PadSession::finishStudioListing() {
    QUILLORY_CHECK_MAIN_THREAD();
    studioTimer_.cancel();
    output_->event(
        "listed", {{"sources", listing_->sources().size()}, {"thumbnails", listing_->thumbnails()}},
        std::to_string(listing_->sources().size()) + " sources, " +
            std::to_string(listing_->thumbnails()) + " thumbnails.");
    stopLink();
}

void PadSession::contextArrived(const DesktopContext& context) {
    QUILLORY_CHECK_MAIN_THREAD();
    context_ = context;
    // Pairing has no use for it beyond scripts.
    output_->event("context", {{"context", context.toJSON()}},
                   options_.command == PadOptions::Command::pair
                       ? std::string()
                       : "The computer shows " + context.name + ".");
    if (options_.command == PadOptions::Command::draw && !tick_.isScheduled() &&
        !durationTimer_.isScheduled() && !stopRequested_ && stroke_.empty()) {
        drawNextStroke();
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
    const bool answer = actionSent_ && controls.id == requestID_ && !stopRequested_;
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

bool PadSession::drawingTimeIsUp() {
    if (!options_.duration) {
        return strokesDone_ == options_.strokes;
    }
    if (!drawingStartedAt_) {
        drawingStartedAt_ = uptimeNanoseconds();
    }
    const double elapsed = static_cast<double>(uptimeNanoseconds() - *drawingStartedAt_) / 1e9;
    const double left = *options_.duration - elapsed;
    if (left > 0 && options_.strokes == 0) {
        // Connected and idle until the time is up; after a reconnect the rest is scheduled again.
        std::weak_ptr<PadSession> weak = weak_from_this();
        durationTimer_ = MainQueue::after(left, [weak] {
            if (auto self = weak.lock(); self && self->channel_) {
                self->drawNextStroke();
            }
        });
    }
    return left <= 0;
}

void PadSession::drawNextStroke() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (drawingTimeIsUp()) {
        output_->event("drawn", {{"strokes", strokesDone_}},
                       "Drew " + std::to_string(strokesDone_) + " strokes.");
        stopLink();
        return;
    }
    if (options_.strokes == 0) {
        return;
    }
    stroke_ = strokeShape(strokesDone_);
    sent_.clear();
    strokeStartedAt_ = uptimeNanoseconds();
    drawTick();
}

void PadSession::drawTick() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!channel_ || stroke_.empty()) {
        return;
    }
    auto sample = stroke_[sent_.size()];
    sample.sequence = ++sequence_;
    sample.timestamp = uptimeSeconds();
    channel_->send(std::vector<PenSample>{sample});
    sent_.push_back(sample);
    if (sent_.size() == stroke_.size()) {
        reportStroke(true);
        ++strokesDone_;
        drawNextStroke();
        return;
    }
    // Paced from the stroke's start, so that late ticks do not add up.
    const double due = static_cast<double>(sent_.size()) / samplesPerSecond;
    const double elapsed = static_cast<double>(uptimeNanoseconds() - strokeStartedAt_) / 1e9;
    std::weak_ptr<PadSession> weak = weak_from_this();
    tick_ = MainQueue::after(std::max(0.0, due - elapsed), [weak] {
        if (auto self = weak.lock()) {
            self->drawTick();
        }
    });
}

void PadSession::reportStroke(bool complete) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (sent_.empty()) {
        return;
    }
    output_->event(
        "stroke",
        {{"index", strokesDone_}, {"complete", complete}, {"samples", samplesJSON(sent_)}}, {});
    stroke_.clear();
    sent_.clear();
}

void PadSession::stopLink(int status, std::string message) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!channel_ || stopRequested_) {
        return;
    }
    stopRequested_ = true;
    stopStatus_ = status;
    stopMessage_ = std::move(message);
    // A refused stop ends the link as a storage failure, reported by ended().
    if (!channel_->stop()) {
        stopStatus_ = 1;
        stopMessage_.clear();
    }
}

void PadSession::ended(const ConnectionEnd& end) {
    QUILLORY_CHECK_MAIN_THREAD();
    channel_.reset();
    tick_.cancel();
    durationTimer_.cancel();
    studioTimer_.cancel();
    if (const auto share = std::exchange(share_, nullptr)) {
        share->linkEnded();
    }
    reportStroke(false);
    awaitingCode_ = false;
    output_->event("ended", {{"end", caseName(end.kind())}, {"message", end.message()}}, {});
    if (stopRequested_ && end.kind() == ConnectionEnd::Case::stopped) {
        if (stopStatus_ == 0) {
            succeed();
        } else {
            fail(stopMessage_.empty() ? end.message() : stopMessage_, stopStatus_);
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
    if (share_ && channel_ && !stopRequested_) {
        share_->input(line);
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
    } else if (share_ && channel_ && !stopRequested_) {
        share_->endOfInput();
    }
}

void PadSession::interrupt() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (share_ && channel_ && !stopRequested_) {
        share_->interrupt();
        return;
    }
    if (channel_ && !stopRequested_) {
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
        if (!stopRequested_) {
            stopRequested_ = true;
            stopStatus_ = status;
            stopMessage_ = message;
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
