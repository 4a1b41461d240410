#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/session/session_sources.h"
#include "app/studio/application_image.h"
#include "app/studio/mac_studio_session.h"
#include "app/studio/studio_session_control.h"
#include "platform/desktop/desktop.h"

namespace quillory {

// The Studio host of this desktop: X11 capture, previews and raising, the icons the session's
// ApplicationIcons give, the GStreamer transport and _NET_CURRENT_DESKTOP as the Space.
namespace SystemStudio {

// Everything the session needs from this desktop; main thread. `icons` may be null: no icons.
MacStudioSession::Environment environment(std::shared_ptr<Desktop> desktop,
                                          std::shared_ptr<ApplicationIcons> icons,
                                          std::int32_t ownProcessID);
// A session over environment(). Owned by the caller (the session takes it over); main thread.
StudioSessionControl* create(std::shared_ptr<Desktop> desktop,
                             std::shared_ptr<ApplicationIcons> icons, std::int32_t ownProcessID);

// An icon's pixels as plain ARGB; none for a null image.
std::optional<ApplicationImage> applicationImage(const QImage& image);
// A window as the icon lookup takes it: its application and the window itself.
ApplicationInfo applicationInfo(const ShareableWindow& window);

}  // namespace SystemStudio

}  // namespace quillory
