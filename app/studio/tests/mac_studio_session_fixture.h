#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/studio/mac_studio_session.h"
#include "media/tests/studio_peer_fixture.h"
#include "platform/desktop/testing/fake_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/webrtc/testing/fake_peer_transport.h"

namespace quillory {

// A capture whose completions wait for the test.
class FakeSessionCapture final : public StudioSessionCapture {
  public:
    struct Update {
        std::string kind;  // "start", "size" or "fps"
        int value = 0;     // the limit or the frame rate
        Completion completion;
    };

    FakeSessionCapture(CaptureSize initial, DisplayCapture::FailureHandler failure)
        : size(initial), onFailure(std::move(failure)) {}

    void start(Completion completion) override {
        pending.push_back({"start", 0, std::move(completion)});
    }
    void update(int longSideLimit, const std::optional<StudioViewport>& viewport,
                Completion completion) override {
        lastViewport = viewport;
        pending.push_back({"size", longSideLimit, std::move(completion)});
    }
    void updateFramesPerSecond(int fps, Completion completion) override {
        pending.push_back({"fps", fps, std::move(completion)});
    }
    void stop() override { stopped = true; }
    void requestRefresh() override { ++refreshes; }
    int width() const override { return size.width; }
    int height() const override { return size.height; }

    // Completes the oldest pending call; the size update takes `newSize` when given.
    void complete(std::optional<std::string> error = {},
                  std::optional<CaptureSize> newSize = std::nullopt) {
        ASSERT_FALSE(pending.empty());
        auto next = std::move(pending.front());
        pending.pop_front();
        if (newSize && !error) {
            size = *newSize;
        }
        next.completion(std::move(error));
    }

    CaptureSize size;
    DisplayCapture::FailureHandler onFailure;
    std::deque<Update> pending;
    std::optional<StudioViewport> lastViewport;
    bool stopped = false;
    int refreshes = 0;
};

inline ShareableWindow shareableWindow(std::uint32_t id, std::string applicationName,
                                       std::optional<std::int32_t> pid = 500,
                                       Rect frame = {100, 100, 800, 600}) {
    return ShareableWindow{
        .info = {.id = id, .frame = frame, .processID = pid},
        .title = "Window " + std::to_string(id),
        .onScreen = true,
        .application = WindowApplication{.processID = pid,
                                         .identifier = applicationName + ".desktop",
                                         .name = std::move(applicationName)},
    };
}

// One session over fakes: a fake desktop, content reads, previews and capture updates that wait
// for the test, a real StudioPeer over the fake transport, and one manual main executor over a
// fake clock. `sent` collects what goes to the tablet.
class MacStudioSessionFixture : public ::testing::Test {
  public:
    void SetUp() override {
        MainQueue::install(main);
        desktop->setDisplays({{.id = 1, .bounds = {0, 0, 1920, 1080}, .primary = true},
                              {.id = 2, .bounds = {1920, 0, 1280, 1024}}});
        desktop->setShareableWindows(std::vector<ShareableWindow>{});
        session = MacStudioSession::create(environment());
        wire();
    }
    void TearDown() override {
        session.reset();
        main->runUntilIdle();
        MainQueue::install(nullptr);
    }

    MacStudioSession::Environment environment() {
        MacStudioSession::Environment e;
        e.desktop = desktop;
        e.main = main;
        e.clock = clock;
        e.readContent = [this](std::function<void(std::optional<ShareableContent>)> done) {
            contentReads.push_back(std::move(done));
        };
        e.capturePreview = [this](const StudioCaptureSource& source,
                                  std::function<void(std::optional<Bytes>)> done) {
            previews.emplace_back(source.previewKey(), std::move(done));
        };
        e.makeCapture = [this](const StudioCaptureSource&, int limit,
                               const std::optional<StudioViewport>& viewport,
                               DisplayCapture::FrameSink,
                               DisplayCapture::FailureHandler onFailure) {
            captureLimits.push_back(limit);
            (void)viewport;
            auto capture =
                std::make_shared<FakeSessionCapture>(CaptureSize{1600, 900}, std::move(onFailure));
            captures.push_back(capture);
            return capture;
        };
        e.peer = StudioPeer::Environment{.transportFactory = transports,
                                         .main = main,
                                         .controlQueue = control,
                                         .statisticsQueue = main,
                                         .clock = clock};
        e.makeEncoderFactory = [this](StudioHardwareEncoderFactory::Failure onFailure) {
            auto factory =
                std::make_shared<StudioHardwareEncoderFactory>(std::move(onFailure), clock);
            factories.push_back(factory);
            return factory;
        };
        e.artwork = [this](std::vector<StudioSource> sources, Uuid, auto keys, auto images,
                           std::shared_ptr<const CancelToken> cancel,
                           StudioApplicationArtwork::Completion done) {
            artworkKeys = keys;
            artworkImages = images.size();
            if (cancel->isCancelled()) {
                done(std::nullopt);
                return;
            }
            if (iconFor) {
                for (auto& source : sources) {
                    if (keys.contains(source.id)) {
                        source.iconPNG = iconFor(source);
                    }
                }
            }
            done(std::move(sources));
        };
        e.raise = [this](const StudioCaptureSource& source) { source.raise(*desktop); };
        e.applicationImage =
            [this](const ShareableWindow& window) -> std::optional<ApplicationImage> {
            ++imageLookups;
            const int side = imageSide.contains(window.info.id) ? imageSide[window.info.id] : 64;
            return ApplicationImage{.width = side,
                                    .height = side,
                                    .argb = std::vector<std::uint32_t>(
                                        static_cast<std::size_t>(side * side), 0xFF00FF00)};
        };
        e.applicationKey = [](std::int32_t pid, const WindowApplication& application) {
            return std::to_string(pid) + ":" + application.identifier;
        };
        e.observeSpace = [this](std::function<void()> handler) -> std::shared_ptr<void> {
            spaceChanged = std::move(handler);
            return std::make_shared<int>(0);
        };
        e.ownProcessID = ownPid;
        return e;
    }

    void wire() {
        session->send = [this](const StudioSignal& signal) { sent.push_back(signal); };
        session->onMappingChanged = [this](const DesktopInputTarget& target) {
            mappings.push_back(target);
        };
        session->onInputBoundary = [this] { log.push_back("boundary"); };
        session->onSourceActivated = [this] { log.push_back("activated"); };
    }

    void run() { main->runUntilIdle(); }

    ShareableContent content() const {
        return ShareableContent{desktop->displays(), desktop->shareableWindows().value_or(
                                                         std::vector<ShareableWindow>{})};
    }
    // Answers the oldest content read with the desktop as it is now, or with a failure.
    void deliverContent(bool ok = true) {
        ASSERT_FALSE(contentReads.empty());
        auto done = std::move(contentReads.front());
        contentReads.pop_front();
        done(ok ? std::optional<ShareableContent>(content()) : std::nullopt);
        run();
    }
    void completePreview(std::optional<Bytes> jpeg) {
        ASSERT_FALSE(previews.empty());
        auto done = std::move(previews.front().second);
        previews.pop_front();
        done(std::move(jpeg));
        run();
    }

    Uuid request(std::optional<Uuid> sourceID = std::nullopt,
                 std::optional<StudioPreset> preset = std::nullopt) {
        const Uuid id = Uuid::random();
        session->handle(StudioSignal{.id = id,
                                     .kind = StudioSignal::Kind::request,
                                     .sourceID = sourceID,
                                     .viewport = StudioViewport{1600, 1000, false},
                                     .preset = preset});
        run();
        return id;
    }
    // A request whose content has arrived: the peer and the capture exist.
    Uuid started(std::optional<Uuid> sourceID = std::nullopt) {
        const Uuid id = request(sourceID);
        deliverContent();
        return id;
    }
    std::shared_ptr<FakePeerTransport> transport() const { return transports->last(); }
    // The offer created, set and gathered: the session sends it.
    void describe() {
        ASSERT_TRUE(transport()->completeCreate(
            SessionDescription{.type = SessionDescription::Type::offer, .sdp = sampleSDP}));
        run();
        ASSERT_TRUE(transport()->completeSetLocal());
        run();
        transport()->changeGathering(IceGatheringState::complete);
        run();
    }
    void answer(const Uuid& id) {
        session->handle(
            StudioSignal{.id = id, .kind = StudioSignal::Kind::answer, .sdp = sampleSDP});
        run();
    }
    void connect() {
        ASSERT_TRUE(transport()->completeSetRemote());
        run();
        transport()->changeConnection(PeerConnectionState::connected);
        run();
    }
    // A stream of the main display that shares.
    Uuid sharing() {
        const Uuid id = started();
        describe();
        answer(id);
        connect();
        captures.back()->complete();
        run();
        return id;
    }
    std::vector<StudioSignal::Kind> sentKinds() const {
        std::vector<StudioSignal::Kind> kinds;
        for (const auto& signal : sent) {
            kinds.push_back(signal.kind);
        }
        return kinds;
    }
    // Lists the sources and answers the content read.
    Uuid listSources() {
        const Uuid id = Uuid::random();
        session->handle(StudioSignal{.id = id, .kind = StudioSignal::Kind::listSources});
        run();
        deliverContent();
        return id;
    }
    std::optional<StudioSignal> lastOf(StudioSignal::Kind kind) const {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
            if (it->kind == kind) {
                return *it;
            }
        }
        return std::nullopt;
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<ManualExecutor> main = std::make_shared<ManualExecutor>(clock);
    // The peer's control queue apart, so that what the session submits can be counted.
    std::shared_ptr<ManualExecutor> control = std::make_shared<ManualExecutor>(clock);
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::shared_ptr<FakePeerTransportFactory> transports =
        std::make_shared<FakePeerTransportFactory>();
    std::int32_t ownPid = 4242;
    std::shared_ptr<MacStudioSession> session;

    std::deque<std::function<void(std::optional<ShareableContent>)>> contentReads;
    std::deque<std::pair<std::string, std::function<void(std::optional<Bytes>)>>> previews;
    std::vector<std::shared_ptr<FakeSessionCapture>> captures;
    std::vector<int> captureLimits;
    std::vector<std::shared_ptr<StudioHardwareEncoderFactory>> factories;
    std::function<std::optional<Bytes>(const StudioSource&)> iconFor;
    StudioApplicationArtwork::SourceKeys artworkKeys;
    std::size_t artworkImages = 0;
    std::map<std::uint32_t, int> imageSide;
    int imageLookups = 0;
    std::function<void()> spaceChanged;

    std::vector<StudioSignal> sent;
    std::vector<DesktopInputTarget> mappings;
    std::vector<std::string> log;
};

}  // namespace quillory
