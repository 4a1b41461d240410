#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/link/companion_browser.h"
#include "core/link/device_trust_store.h"
#include "core/link/pen_channel.h"
#include "core/link/recovery_scheduler.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/dispatch/timer.h"
#include "tools/pad/event_output.h"
#include "tools/pad/pad_options.h"
#include "tools/pad/remembered_hosts.h"
#include "tools/pad/studio_listing.h"
#include "tools/pad/studio_share_driver.h"

namespace quillory::pad {

// One run of the command-line tablet: finds or picks a computer, runs the link in the pad role
// and does what the command asks. Main queue only, apart from the constructor.
class PadSession : public std::enable_shared_from_this<PadSession> {
  public:
    static constexpr const char* trustService = "com.quillory.pad.device-trust.v4";
    static constexpr double connectTimeout = 10.0;
    // How long the computer may take to list its sources, and to send the next thumbnail.
    static constexpr double studioListTimeout = 10.0;
    static constexpr double studioThumbnailTimeout = 3.0;

    // `makeShare` gives `studio share` its video side; without it the command fails cleanly.
    PadSession(PadOptions options, std::shared_ptr<EventOutput> output,
               std::function<void(int status)> finish, StudioShareMaker makeShare = {});
    ~PadSession();

    void begin();
    // A line typed by the user: "y" confirms a pairing code, anything else declines it.
    void input(const std::string& line);
    void endOfInput();
    // Ctrl-C: end the link cleanly, then exit.
    void interrupt();

  private:
    struct Target {
        std::string name;
        std::string address;
        std::uint16_t port = 0;
        std::optional<std::string> expectedPeer;
    };

    bool loadHosts();
    bool openTrustStore();
    void browse(std::function<void()> settled);
    void listHosts();
    void pairWithFoundHost();
    void connect(bool allowPairing);
    void connected(StreamConnection connection, const std::string& error, bool allowPairing);
    void observe(const std::shared_ptr<PenChannel>& channel);
    void ready();
    void contextArrived(const DesktopContext& context);
    void ended(const ConnectionEnd& end);
    void scheduleReconnect();
    void drawNextStroke();
    // True once the strokes are drawn or, with --duration, the time is up; drawing nothing, it
    // schedules the end.
    bool drawingTimeIsUp();
    void sendControlsRequest(const DesktopContext& context);
    void controlsArrived(const ControlsSignal& controls);
    void drawTick();
    void reportStroke(bool complete);
    void listStudioSources();
    void studioArrived(const StudioSignal& signal);
    void studioListingTimedOut();
    void finishStudioListing();
    void startStudioShare();
    void sendShareSample();
    // Ends the link with "stop"; the run then exits with status, and message when it fails.
    void stopLink(int status = 0, std::string message = {});
    void fail(const std::string& message, int status = 1);
    void succeed();

    const PadOptions options_;
    const std::shared_ptr<EventOutput> output_;
    const std::function<void(int)> finish_;
    const StudioShareMaker makeShare_;
    bool finished_ = false;

    std::shared_ptr<DeviceTrustStore> store_;
    std::optional<RememberedHosts> hosts_;
    std::shared_ptr<CompanionBrowser> browser_;
    Timer browseTimer_;
    Timer settleTimer_;
    std::unique_ptr<SerialQueue> connectQueue_;

    Target target_;
    Uuid intent_;
    std::shared_ptr<PenChannel> channel_;
    RecoveryScheduler recovery_;
    bool linkWasReady_ = false;
    bool reconnecting_ = false;
    bool stopRequested_ = false;  // we ended the link; "stopped" is then the expected end
    int stopStatus_ = 0;
    std::string stopMessage_;
    std::optional<RememberedDevice> peer_;
    std::optional<DesktopContext> context_;
    bool awaitingCode_ = false;
    bool actionSent_ = false;  // key, commands, record: their one request went out
    Uuid requestID_;           // commands, record: answers copy it

    unsigned strokesDone_ = 0;
    std::uint64_t sequence_ = 0;
    std::vector<PenSample> stroke_;
    std::vector<PenSample> sent_;
    std::uint64_t strokeStartedAt_ = 0;
    std::optional<std::uint64_t> drawingStartedAt_;
    Timer durationTimer_;
    Timer tick_;

    std::optional<StudioListing> listing_;
    std::uint64_t listSentAt_ = 0;
    Timer studioTimer_;
    std::shared_ptr<StudioShareDriver> share_;
    std::deque<PenSample> shareStroke_;  // typed strokes, sent one sample at a time
    Timer shareStrokeTimer_;
};

}  // namespace quillory::pad
