#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/desktop-control/desktop_input_controller.h"
#include "app/session/session_link.h"
#include "app/session/session_sources.h"
#include "platform/dispatch/serial_queue.h"

namespace quillory {

// The desktop context the tablet is told about: the application in front (the desktop when there
// is none), whether input reaches it, and its icon, drawn on the icon queue and sent when ready.
// Main thread, except the drawing. Made shared: the drawing's answer holds it weakly.
class DesktopContextTracker : public std::enable_shared_from_this<DesktopContextTracker> {
  public:
    struct Environment {
        std::shared_ptr<Desktop> desktop;
        std::shared_ptr<ApplicationIcons> icons;
        std::int32_t ownProcessID = 0;
        // The current tablet's channel, if any, and whether its link is up.
        std::function<std::shared_ptr<SessionChannel>()> channel;
        std::function<bool()> connected;
    };

    struct Described {
        std::string applicationID;
        std::string name;
    };

    DesktopContextTracker(Environment environment, DesktopInputController& input);
    ~DesktopContextTracker();

    // Sends the context when the application in front, its process or the input state changed,
    // or always with `force`; clears it while no tablet is connected.
    void refresh(bool force);
    // A new connection starts without a context.
    void reset();
    const std::optional<DesktopContext>& context() const { return context_; }
    std::optional<ApplicationInfo> frontmost() const;
    // The application the tablet's controls serve: the frontmost one, or while this application
    // is in front (a click into the panel activates it), the one the current context describes.
    std::optional<ApplicationInfo> servedApplication() const;
    static Described describeApplication(const std::optional<ApplicationInfo>& front);
    void cancelArtwork();

  private:
    void renderIcon(const ApplicationInfo& front, const DesktopContext& context);

    Environment env_;
    DesktopInputController& input_;
    std::unique_ptr<SerialQueue> iconQueue_;
    std::optional<DesktopContext> context_;
    std::optional<std::int32_t> contextPID_;
    std::optional<ApplicationInfo> contextApplication_;
    // The running icon task's cancel flag.
    std::shared_ptr<bool> contextArtwork_;
};

}  // namespace quillory
