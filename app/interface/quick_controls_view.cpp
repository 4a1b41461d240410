#include "app/interface/quick_controls_view.h"

namespace quillory {

void QuickControlsView::show(View next) {
    if (next == view_) {
        return;
    }
    view_ = std::move(next);
    emit changed();
}

}  // namespace quillory
