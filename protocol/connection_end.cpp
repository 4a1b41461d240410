#include "protocol/connection_end.h"

namespace quillory {

std::string ConnectionEnd::message() const {
    switch (case_) {
        case Case::failure:
            return text_;
        case Case::interrupted:
            return "Connection interrupted. Reconnecting…";
        case Case::stopped:
            return "Disconnected";
        case Case::identityChanged:
            return "This computer has a different identity. Forget its saved pairing, then connect "
                   "again.";
        case Case::verification:
            return "The apps couldn’t verify this connection. Make sure both devices have the same "
                   "Quillory version.";
        case Case::trustRequired:
            return "Pair this device again to connect.";
        case Case::storage:
            return "Quillory couldn’t save device access. Unlock your device and try again.";
        case Case::incompatible:
            return "Update Quillory on both devices to connect.";
    }
    return {};
}

std::string ConnectionEnd::caseName() const {
    switch (case_) {
        case Case::failure:
            return "failure(" + text_ + ")";
        case Case::interrupted:
            return "interrupted";
        case Case::stopped:
            return "stopped";
        case Case::identityChanged:
            return "identityChanged";
        case Case::verification:
            return "verification";
        case Case::trustRequired:
            return "trustRequired";
        case Case::storage:
            return "storage";
        case Case::incompatible:
            return "incompatible";
    }
    return {};
}

}  // namespace quillory
