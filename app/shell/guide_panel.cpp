#include "app/shell/guide_panel.h"

#include <xcb/xcb.h>

#include <QCursor>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QScreen>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "design/card_frame.h"
#include "platform/desktop/x11_desktop.h"

namespace quillory {

namespace {

// Every workspace, set before mapping so that the window manager places it there at once.
void putOnEveryWorkspace(QWindow& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const QByteArray name = "_NET_WM_DESKTOP";
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
        xcb_intern_atom_reply(connection, cookie, nullptr), &free);
    if (!atom) {
        return;
    }
    const std::uint32_t everyDesktop = 0xFFFFFFFF;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window.winId()), atom->atom, XCB_ATOM_CARDINAL,
                        32, 1, &everyDesktop);
    xcb_flush(connection);
}

QList<ScreenArea> screenAreas() {
    QList<ScreenArea> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        screens.append({screen->geometry(), screen->availableGeometry()});
    }
    return screens;
}

// Polkit agents name themselves so in their window class ("polkit-gnome-authentication-agent-1",
// "polkit-kde-authentication-agent-1", "lxpolkit"); a prompt the desktop shell draws itself
// (GNOME) is no window and cannot be followed.
PromptFrame polkitPromptFrame() {
    auto connected = X11Desktop::connect(nullptr);
    if (!connected) {
        return {};
    }
    std::shared_ptr<X11Desktop> desktop = std::move(connected).value();
    return [desktop]() -> std::optional<QRect> {
        const auto windows = desktop->shareableWindows();
        if (!windows) {
            return std::nullopt;
        }
        for (const ShareableWindow& window : *windows) {
            if (!window.onScreen || !window.application) {
                continue;
            }
            const QString identity = QString::fromStdString(window.application->identifier + " " +
                                                            window.application->name);
            if (identity.contains(QLatin1String("polkit"), Qt::CaseInsensitive)) {
                const Rect& frame = window.info.frame;
                return QRectF(frame.x, frame.y, frame.width, frame.height).toAlignedRect();
            }
        }
        return std::nullopt;
    };
}

class PanelSurface final : public GuideSurface {
  public:
    PanelSurface(GuidePanel* panel, PromptFrame prompt)
        : panel_(panel), prompt_(std::move(prompt)) {}
    void follow() override {
        if (!panel_ || !prompt_) {
            return;
        }
        if (const std::optional<QRect> frame = prompt_()) {
            panel_->follow(*frame);
        }
    }
    ~PanelSurface() override {
        // The close button closes the card from inside its own window's event handling.
        if (panel_) {
            panel_->hide();
            panel_->deleteLater();
        }
    }

  private:
    QPointer<GuidePanel> panel_;
    PromptFrame prompt_;
};

}  // namespace

QPoint guidePanelOrigin(QPoint pointer, QSize size, const QList<ScreenArea>& screens) {
    QPoint origin(pointer.x() - size.width() / 2, pointer.y() + GuidePanel::pointerGap);
    const auto onPointer = std::find_if(screens.begin(), screens.end(), [&](const ScreenArea& s) {
        return s.geometry.contains(pointer);
    });
    if (onPointer == screens.end() && screens.isEmpty()) {
        return origin;
    }
    const QRect area = (onPointer != screens.end() ? *onPointer : screens.front()).available;
    const int margin = GuidePanel::screenMargin;
    const auto keepInside = [margin](int value, int low, int high) {
        return std::max(std::min(value, high), low);
    };
    origin.setX(keepInside(origin.x(), area.left() + margin,
                           area.left() + area.width() - size.width() - margin));
    origin.setY(keepInside(origin.y(), area.top() + margin,
                           area.top() + area.height() - size.height() - margin));
    return origin;
}

std::optional<QPoint> guidePanelOriginBelow(QRect prompt, QSize size,
                                            const QList<ScreenArea>& screens) {
    if (prompt.width() <= GuidePanel::narrowestPrompt) {
        return std::nullopt;
    }
    const int bottom = prompt.y() + prompt.height();
    QPoint origin(prompt.x() + prompt.width() / 2 - size.width() / 2,
                  bottom + GuidePanel::promptGap);
    const auto showing = std::find_if(screens.begin(), screens.end(), [&](const ScreenArea& s) {
        return s.geometry.intersects(prompt);
    });
    const QRect area = showing != screens.end() ? showing->available
                       : screens.isEmpty()      ? prompt
                                                : screens.front().available;
    const int margin = GuidePanel::screenMargin;
    if (origin.y() + size.height() > area.y() + area.height() - margin) {
        origin.setY(bottom - GuidePanel::promptInset - size.height());
    }
    origin.setX(std::min(std::max(origin.x(), area.x() + margin),
                         area.x() + area.width() - size.width() - margin));
    return origin;
}

GuidePanel::GuidePanel(QQmlEngine* engine, GuideModel& model) {
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
             Qt::WindowDoesNotAcceptFocus);
    setProperty("_q_showWithoutActivating", true);
    setTitle(QStringLiteral("Quillory"));
    if (!engine) {
        return;  // the application is going
    }
    QQmlComponent component(
        engine, QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/GuideCard.qml")));
    QObject* object = component.createWithInitialProperties(
        {{QStringLiteral("model"), QVariant::fromValue<QObject*>(&model)}});
    card_ = qobject_cast<QQuickItem*>(object);
    if (!card_) {
        qWarning("The guide's card cannot be built: %s", qUtf8Printable(component.errorString()));
        delete object;
        return;
    }
    card_->setParent(this);
    // The card grows when the manual steps appear; the frame follows it.
    frame_ = new CardFrame(*this, *card_, cornerRadius, compositingManagerRuns);
}

QSize GuidePanel::cardSize() const {
    return frame_ ? frame_->cardRect().size() : QSize(cardWidth, 120);
}

QPoint GuidePanel::cardPosition() const {
    return position() + QPoint(CardFrame::margin, CardFrame::margin);
}

void GuidePanel::moveCard(QPoint topLeft) {
    setPosition(CardFrame::windowPosition(topLeft));
}

void GuidePanel::present() {
    moveCard(guidePanelOrigin(QCursor::pos(), cardSize(), screenAreas()));
    create();
    putOnEveryWorkspace(*this);
    if (card_) {
        card_->setOpacity(0);
        auto* fade = new QPropertyAnimation(card_, "opacity", card_);
        fade->setDuration(fadeMilliseconds);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    }
    show();
}

void GuidePanel::follow(QRect prompt) {
    const std::optional<QPoint> target = guidePanelOriginBelow(prompt, cardSize(), screenAreas());
    if (!target) {
        return;
    }
    const QPoint from = cardPosition();
    const double distance = std::hypot(target->x() - from.x(), target->y() - from.y());
    if (distance <= 1) {
        return;
    }
    if (glide_) {
        if (glide_->endValue().toPoint() == *target) {
            return;  // already on its way there
        }
        glide_->stop();  // deletes it
    }
    glide_ = new QVariantAnimation(this);
    glide_->setDuration(distance > longMove ? longMoveMs : shortMoveMs);
    QEasingCurve easeOut(QEasingCurve::BezierSpline);
    easeOut.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    glide_->setEasingCurve(easeOut);
    glide_->setStartValue(from);
    glide_->setEndValue(*target);
    connect(glide_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { moveCard(value.toPoint()); });
    glide_->start(QAbstractAnimation::DeleteWhenStopped);
}

LastFocusedWindow::LastFocusedWindow(QObject* parent) : QObject(parent) {
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        // The guide never takes focus; losing focus to another application is not a choice.
        if (window && !qobject_cast<GuidePanel*>(window)) {
            window_ = window;
        }
    });
}

void LastFocusedWindow::activate() {
    if (!window_ || !window_->isVisible()) {
        return;
    }
    window_->raise();
    window_->requestActivate();
}

std::function<std::unique_ptr<GuideSurface>(GuideModel&)> guidePanelSurfaces(QQmlEngine* engine,
                                                                             PromptFrame prompt) {
    QPointer<QQmlEngine> guarded(engine);
    return [guarded, prompt](GuideModel& model) -> std::unique_ptr<GuideSurface> {
        auto* panel = new GuidePanel(guarded, model);
        panel->present();
        return std::make_unique<PanelSurface>(panel, prompt);
    };
}

std::shared_ptr<PermissionGuide> installPermissionGuide(MacShell& shell, QQmlEngine* engine) {
    auto* lastFocused = new LastFocusedWindow(&shell);
    PermissionGuide::Parts parts;
    parts.probe = shell.probe();
    parts.grant = std::make_unique<DesktopGuideGrant>(*shell.grant());
    parts.clock = std::make_shared<SystemClock>();
    parts.executor = MainQueue::executor();
    parts.surface = guidePanelSurfaces(engine, polkitPromptFrame());
    parts.activate = [lastFocused] { lastFocused->activate(); };
    parts.relaunch = [&shell] { shell.relaunchApplication(); };
    auto guide = PermissionGuide::create(std::move(parts));
    // The shell outlives every request and destroys the guide before its probe and grant.
    shell.setGuide([guide](SessionShell::PermissionKind kind) { guide->show(kind); });
    return guide;
}

}  // namespace quillory
