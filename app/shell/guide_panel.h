#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>

#include "app/permissions/permission_guide.h"
#include "app/shell/mac_shell.h"

class QQmlEngine;
class QVariantAnimation;

namespace quillory {

class CardFrame;

struct ScreenArea {
    QRect geometry;
    QRect available;
};

// Where the guide's top-left corner goes: centred under the pointer with its top 12 px below it,
// kept 8 px inside the available area of the pointer's screen (the top-left edges win when the
// card does not fit).
QPoint guidePanelOrigin(QPoint pointer, QSize size, const QList<ScreenArea>& screens);

// Where the guide's top-left corner goes beside the grant's prompt window `prompt`: centred 12 px
// below it, or 16 px inside its bottom edge when the screen has no room below, kept 8 px inside
// the available area horizontally. None for a prompt 200 px wide or narrower, which is never
// followed.
std::optional<QPoint> guidePanelOriginBelow(QRect prompt, QSize size,
                                            const QList<ScreenArea>& screens);

// The frame of the desktop's password prompt (its polkit agent's window), when it is a window of
// this X server's.
using PromptFrame = std::function<std::optional<QRect>()>;

// The guide's floating window: frameless, above other windows, on every workspace, and never
// focused, so that typing stays where it was (the password prompt, or the user's application).
// Its card lies over a shadow in a transparent margin; the places below are the card's.
class GuidePanel final : public QQuickWindow {
    Q_OBJECT

  public:
    static constexpr int cardWidth = 340;
    static constexpr int pointerGap = 12;
    static constexpr int screenMargin = 8;
    static constexpr int fadeMilliseconds = 180;
    static constexpr qreal cornerRadius = 22;
    static constexpr int promptGap = 12;
    static constexpr int promptInset = 16;
    static constexpr int narrowestPrompt = 200;
    // A move longer than this glides for the long duration.
    static constexpr double longMove = 80;
    static constexpr int longMoveMs = 350;
    static constexpr int shortMoveMs = 80;

    // Loads GuideCard from QuilloryInterface on the model.
    GuidePanel(QQmlEngine* engine, GuideModel& model);

    // Places the card under the pointer, maps the window without activating and fades the card
    // in.
    void present();
    // Glides to the place beside the prompt, unless already within a pixel of it.
    void follow(QRect prompt);

    QQuickItem* card() const { return card_; }

  private:
    QSize cardSize() const;
    QPoint cardPosition() const;
    void moveCard(QPoint topLeft);

    QPointer<QQuickItem> card_;
    CardFrame* frame_ = nullptr;
    QPointer<QVariantAnimation> glide_;
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
std::function<std::unique_ptr<GuideSurface>(GuideModel&)> guidePanelSurfaces(
    QQmlEngine* engine, PromptFrame prompt = {});

// The application's guide: the shell's probe and grant, the main queue, the uptime clock and
// panels on the engine; the shell keeps it and sends its requests to it. Make it before any
// window of ours takes focus, so that it knows which window to bring back.
std::shared_ptr<PermissionGuide> installPermissionGuide(MacShell& shell, QQmlEngine* engine);

}  // namespace quillory
