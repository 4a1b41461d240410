#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/session/chord_recorder.h"
#include "app/session/desktop_context_tracker.h"
#include "app/session/session_link.h"
#include "app/session/session_sources.h"
#include "platform/dispatch/serial_queue.h"
#include "protocol/menu_command.h"

namespace quillory {

// Answers the tablet's controls requests for the application they serve: its menu commands,
// read on the menu queue and sent in chunks, and a key chord recorded for it. Main thread, except
// the menu reads. Made shared: the reads' answers and the recorder's finish hold it weakly.
class ControlsResponder : public std::enable_shared_from_this<ControlsResponder> {
  public:
    struct Environment {
        std::function<std::vector<MenuCommand>(std::int32_t processID)> readMenuCommands;
        std::shared_ptr<ApplicationIcons> icons;
        // None: every recording ends at once without a chord.
        std::unique_ptr<ChordRecorder> recorder;
        // The current tablet's channel, if any.
        std::function<std::shared_ptr<SessionChannel>()> channel;
    };

    ControlsResponder(Environment environment, DesktopContextTracker& context);
    ~ControlsResponder();

    void handle(const ControlsSignal& signal);
    // The link ended: a recording in progress stops without an answer.
    void stopRecording();
    const std::optional<Uuid>& recordingID() const { return recordingID_; }

  private:
    void listCommands(const ControlsSignal& signal);
    void sendControls(const std::vector<MenuCommand>& commands, const ControlsSignal& request,
                      const std::string& applicationID);
    void record(const ControlsSignal& signal);
    void finishRecording(const std::optional<std::vector<DesktopKey>>& keys,
                         const ControlsSignal& request);

    Environment env_;
    DesktopContextTracker& context_;
    std::unique_ptr<SerialQueue> menuQueue_;
    std::optional<Uuid> recordingID_;
};

}  // namespace quillory
