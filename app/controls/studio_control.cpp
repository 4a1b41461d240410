#include "app/controls/studio_control.h"

#include "app/controls/published.h"

namespace quillory {

void StudioControl::publishActive(bool active) {
    publishChange(this, active_, active, &StudioControl::activeChanged);
}

void StudioControl::publishStatus(const QString& status) {
    publishChange(this, status_, status, &StudioControl::statusChanged);
}

void StudioControl::publishFailure(const QString& failure) {
    publishChange(this, failure_, failure, &StudioControl::failureChanged);
}

}  // namespace quillory
