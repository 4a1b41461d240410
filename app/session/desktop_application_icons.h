#pragma once

#include <QImage>
#include <memory>
#include <optional>

#include "app/session/session_sources.h"
#include "platform/desktop/desktop_entries.h"
#include "platform/desktop/window_icons.h"

namespace quillory {

// Application icons from the desktop: the active window's own icon (_NET_WM_ICON), else the icon
// its .desktop entry names, from the icon theme or a file.
class DesktopApplicationIcons final : public ApplicationIcons {
  public:
    static constexpr int side = 64;

    // `windowIcons` may be null (no X server): only entries' icons are used then.
    DesktopApplicationIcons(std::shared_ptr<X11WindowIcons> windowIcons,
                            const DesktopEntries& entries);

    Render renderer(const ApplicationInfo& application) override;
    QImage image(const ApplicationInfo& application) override;

    // The image scaled into a transparent side × side square, aspect kept, as PNG; none when it
    // cannot be encoded. Any thread.
    static std::optional<Bytes> renderPNG(const QImage& image, int side);

  private:
    std::shared_ptr<X11WindowIcons> windowIcons_;
    const DesktopEntries& entries_;
};

}  // namespace quillory
