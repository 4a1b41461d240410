#pragma once

#include "app/session/mac_session.h"

class QQmlEngine;

namespace quillory {

// The real listener, channels, trust store, desktop, shell, logind and icons of this computer; the
// recorder panel when a QML engine is given, else the cancelling stand-in.
MacSession::Environment systemSessionEnvironment(QQmlEngine* recorderEngine = nullptr);

}  // namespace quillory
