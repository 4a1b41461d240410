#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QQuickView>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>

#include "app/session/mac_shell.h"
#include "app/session/permission_guide.h"

class QQmlEngine;

namespace quillory {

struct ScreenArea {
    QRect geometry;
    QRect available;
};

// Where the guide's top-left corner goes: centred under the pointer with its top 12 px below it,
// kept 8 px inside the available area of the pointer's screen (the top-left edges win when the
// card does not fit).
QPoint guidePanelOrigin(QPoint pointer, QSize size, const QList<ScreenArea>& screens);

// The guide's floating window: frameless, above other windows, on every workspace, and never
// focused, so that typing stays where it was (the password prompt, or the user's application).
class GuidePanel final : public QQuickView {
    Q_OBJECT

  public:
    static constexpr int cardWidth = 340;
    static constexpr int pointerGap = 12;
    static constexpr int screenMargin = 8;
    static constexpr int fadeMilliseconds = 180;
    static constexpr qreal cornerRadius = 22;

    // Loads GuideCard from QuilloryInterface on the model.
    GuidePanel(QQmlEngine* engine, GuideModel& model);

    // Sizes the window to the card, places it under the pointer, maps it without activating and
    // fades the card in.
    void present();

  private:
    void shapeToCard();
};

// The window of ours that last had focus, for bringing the application back after a grant.
class LastFocusedWindow final : public QObject {
    Q_OBJECT

  public:
    explicit LastFocusedWindow(QObject* parent = nullptr);
    // Raises and activates it if it is still visible; without one, nothing.
    void activate();

  private:
    QPointer<QWindow> window_;
};

// The guide's panels on the engine's QuilloryInterface.
std::function<std::unique_ptr<GuideSurface>(GuideModel&)> guidePanelSurfaces(QQmlEngine* engine);

// The application's guide: the shell's probe and grant, the main queue, the uptime clock and
// panels on the engine; the shell keeps it and sends its requests to it. Make it before any
// window of ours takes focus, so that it knows which window to bring back.
std::shared_ptr<PermissionGuide> installPermissionGuide(MacShell& shell, QQmlEngine* engine);

}  // namespace quillory
