#include "app/session/session_event_printer.h"

namespace quillory {

SessionEventPrinter::SessionEventPrinter(SessionFacade* session, std::FILE* output)
    : QObject(session), session_(session), output_(output) {
    const auto connect = [this](auto signal, auto print) {
        QObject::connect(session_, signal, this, print);
    };
    connect(&SessionFacade::connectionStateChanged, [this] {
        print("state", {{"state", session_->connectionStateName().toStdString()}});
    });
    connect(&SessionFacade::statusChanged, [this] {
        print("status", {{"status", session_->status().toStdString()}});
    });
    connect(&SessionFacade::failureMessageChanged, [this] {
        print("failure", {{"message", session_->failureMessage().toStdString()}});
    });
    connect(&SessionFacade::pairingCodeChanged, [this] {
        print("pairing", {{"code", session_->pairingCode().toStdString()},
                          {"peer", session_->peerName().toStdString()}});
    });
    const auto approval = [this] {
        print("approval",
              {{"local", session_->pairingApproved()}, {"remote", session_->peerApproved()}});
    };
    connect(&SessionFacade::pairingApprovedChanged, approval);
    connect(&SessionFacade::peerApprovedChanged, approval);
    connect(&SessionFacade::connectedChanged, [this] {
        print("connected", {{"connected", session_->connected()}});
    });
    connect(&SessionFacade::recoveringChanged, [this] {
        print("recovering", {{"recovering", session_->recovering()}});
    });
    connect(&SessionFacade::listeningChanged, [this] {
        print("listening", {{"listening", session_->listening()}});
    });
    // Studio's values in one line, whichever changed.
    if (auto* studio = session_->studio()) {
        const auto printStudio = [this, studio] {
            print("studio", {{"active", studio->active()},
                             {"status", studio->status().toStdString()},
                             {"failure", studio->failure().toStdString()}});
        };
        QObject::connect(studio, &StudioControl::activeChanged, this, printStudio);
        QObject::connect(studio, &StudioControl::statusChanged, this, printStudio);
        QObject::connect(studio, &StudioControl::failureChanged, this, printStudio);
    }
}

void SessionEventPrinter::print(const char* name, Json fields) {
    Json line{{"event", name}};
    for (auto& [key, value] : fields.items()) {
        line[key] = std::move(value);
    }
    std::fputs((dumpJSON(line) + "\n").c_str(), output_);
    std::fflush(output_);
}

}  // namespace quillory
