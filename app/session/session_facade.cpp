#include "app/session/session_facade.h"

namespace quillory {

SessionFacade::SessionFacade(InputControl* input, StudioControl* studio, SessionShell* shell,
                             QObject* parent)
    : SessionState(parent), input_(input), studio_(studio), shell_(shell) {
    for (QObject* child : {static_cast<QObject*>(input), static_cast<QObject*>(studio),
                           static_cast<QObject*>(shell)}) {
        if (!child->parent()) {
            child->setParent(this);
        }
    }
}

}  // namespace quillory
