#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/link/device_trust_store.h"
#include "core/link/pen_channel.h"
#include "core/link/recovery_scheduler.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/dispatch/timer.h"
#include "tools/pad/event_output.h"
#include "tools/pad/host_search.h"
#include "tools/pad/pad_options.h"
#include "tools/pad/remembered_hosts.h"
#include "tools/pad/stroke_script.h"
#include "tools/pad/studio_command.h"

namespace quillory::pad {

// One run of the command-line tablet: finds or picks a computer, runs the link in the pad role
// and does what the command asks. Main queue only, apart from the constructor.
class PadSession : public std::enable_shared_from_this<PadSession> {
  public:
    static constexpr const char* trustService = "com.quillory.pad.device-trust.v4";
    static constexpr double connectTimeout = 10.0;

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
    struct Outcome {
        int status = 0;
        std::string message;
    };
    struct Target {
        std::string name;
        std::string address;
        std::uint16_t port = 0;
        std::optional<std::string> expectedPeer;
    };

    bool loadHosts();
    bool openTrustStore();
    void browse(std::function<void(const std::vector<CompanionHost>&)> settled);
    void listHosts(const std::vector<CompanionHost>& hosts);
    void pairWithFoundHost(const std::vector<CompanionHost>& hosts);
    void connect(bool allowPairing);
    void connected(StreamConnection connection, const std::string& error, bool allowPairing);
    void observe(const std::shared_ptr<PenChannel>& channel);
    void ready();
    void contextArrived(const DesktopContext& context);
    void ended(const ConnectionEnd& end);
    void scheduleReconnect();
    void sendControlsRequest(const DesktopContext& context);
    void controlsArrived(const ControlsSignal& controls);
    void studioArrived(const StudioSignal& signal);
    StudioShareLink studioLink();
    // Ends the link with "stop"; the run then exits with status, and message when it fails.
    void stopLink(int status = 0, std::string message = {});
    void fail(const std::string& message, int status = 1);
    void succeed();

    const PadOptions options_;
    const std::shared_ptr<EventOutput> output_;
    const std::function<void(int)> finish_;
    bool finished_ = false;

    std::shared_ptr<DeviceTrustStore> store_;
    std::optional<RememberedHosts> hosts_;
    std::shared_ptr<HostSearch> search_;
    std::unique_ptr<SerialQueue> connectQueue_;

    Target target_;
    Uuid intent_;
    std::shared_ptr<PenChannel> channel_;
    RecoveryScheduler recovery_;
    bool linkWasReady_ = false;
    bool reconnecting_ = false;
    // We ended the link: "stopped" is then the expected end, and the run exits with this.
    std::optional<Outcome> stop_;
    std::optional<RememberedDevice> peer_;
    std::optional<DesktopContext> context_;
    bool awaitingCode_ = false;
    bool actionSent_ = false;  // key, commands, record: their one request went out
    Uuid requestID_;           // commands, record: answers copy it

    // Made in begin(), once the run can be held weakly.
    std::shared_ptr<StrokeScript> strokes_;
    const std::shared_ptr<StudioCommand> studio_;
};

}  // namespace quillory::pad
