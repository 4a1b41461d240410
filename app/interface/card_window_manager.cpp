#include "app/interface/card_window_manager.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QQuickItem>
#include <QScreen>

#include "design/card_frame.h"
#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory.interface", "card-windows");
    return instance;
}

// Beneath the view: a press that no control of the view takes moves the window.
class WindowMoveArea final : public QQuickItem {
  public:
    explicit WindowMoveArea(QQuickItem* parent) : QQuickItem(parent) {
        setAcceptedMouseButtons(Qt::LeftButton);
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (window()) {
            window()->startSystemMove();
        }
        event->accept();
    }
};

void setIfDeclared(QObject* view, const char* name, QObject* value) {
    QQmlProperty property(view, QString::fromLatin1(name));
    if (property.isValid() && property.isWritable()) {
        property.write(QVariant::fromValue(value));
    }
}

void activate(QQuickWindow* window) {
    window->raise();
    window->requestActivate();
}

}  // namespace

const QStringList& CardWindowManager::identifiers() {
    static const QStringList names = {QStringLiteral("welcome"), QStringLiteral("settings"),
                                      QStringLiteral("pencil-test"),
                                      QStringLiteral("remembered-devices")};
    return names;
}

CardWindowManager::CardWindowManager(SessionFacade* session, Environment environment,
                                     QObject* parent)
    : QObject(parent), session_(session), environment_(std::move(environment)) {}

CardWindowManager::~CardWindowManager() {
    for (const QString& identifier : QStringList(order_)) {
        close(identifier);
    }
}

void CardWindowManager::setView(const QString& identifier, QQmlComponent* component) {
    views_.insert(identifier, component);
}

QQuickWindow* CardWindowManager::window(const QString& identifier) const {
    return windows_.value(identifier);
}

void CardWindowManager::open(const QString& identifier) {
    if (!identifiers().contains(identifier)) {
        return;
    }
    if (QQuickWindow* existing = windows_.value(identifier)) {
        activate(existing);
        return;
    }
    QQmlComponent* component = views_.value(identifier);
    if (!component || !environment_.engine) {
        if (!reportedMissing_.contains(identifier)) {
            reportedMissing_.insert(identifier);
            logger().info("The card \"%s\" has no view yet", qUtf8Printable(identifier));
        }
        return;
    }
    QQuickWindow* created = build(identifier, component);
    if (!created) {
        return;
    }
    windows_.insert(identifier, created);
    order_.append(identifier);
    created->show();
    activate(created);
    shown(identifier);
    emit opened(identifier);
}

QQuickWindow* CardWindowManager::build(const QString& identifier, QQmlComponent* component) {
    QObject* object = component->beginCreate(environment_.engine->rootContext());
    auto* view = qobject_cast<QQuickItem*>(object);
    if (!view) {
        logger().error("The view of \"%s\" cannot be built: %s", qUtf8Printable(identifier),
                       qUtf8Printable(component->errorString()));
        if (object) {
            component->completeCreate();
            delete object;
        }
        return nullptr;
    }
    const QPointer<CardWindowManager> self(this);
    auto* actions = new CardActions(
        [self, identifier] {
            if (self) {
                self->close(identifier);
            }
        },
        environment_.finish, view);
    setIfDeclared(view, "actions", actions);
    setIfDeclared(view, "session", session_);
    if (SessionShell* shell = session_->shell()) {
        setIfDeclared(view, "updates", shell->updates());
        setIfDeclared(view, "loginItem", shell->loginItem());
    }
    component->completeCreate();

    auto* window = new QQuickWindow();
    window->setObjectName(QStringLiteral("card:") + identifier);
    window->setTitle(QStringLiteral("Quillory"));
    window->setFlags(Qt::Window | Qt::FramelessWindowHint);
    view->setParent(window);
    fit(view);
    const QVariant declared = view->property("cardRadius");
    new CardFrame(*window, *view, declared.isValid() ? declared.toReal() : defaultCardRadius,
                  environment_.compositing);
    // Under the card only: a press beside it belongs to the window below.
    auto* moveArea = new WindowMoveArea(window->contentItem());
    moveArea->setZ(-1);
    const auto follow = [moveArea, view] {
        moveArea->setPosition(view->position());
        moveArea->setSize(view->size());
    };
    QObject::connect(view, &QQuickItem::widthChanged, moveArea, follow);
    QObject::connect(view, &QQuickItem::heightChanged, moveArea, follow);
    follow();
    QObject::connect(view, &QQuickItem::implicitWidthChanged, window, [view] { fit(view); });
    QObject::connect(view, &QQuickItem::implicitHeightChanged, window, [view] { fit(view); });

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->setPosition(frame.topLeft());
    }

    window->installEventFilter(this);
    return window;
}

void CardWindowManager::fit(QQuickItem* view) {
    const QSizeF implicit(view->implicitWidth(), view->implicitHeight());
    if (!implicit.isEmpty()) {
        view->setSize(implicit);
    }
}

void CardWindowManager::shown(const QString& identifier) {
    if (identifier == QLatin1String("pencil-test")) {
        session_->setPencilTestActive(true);
        session_->input()->setRecording(true);
        session_->updateInputState();
    }
}

bool CardWindowManager::raiseVisible() {
    for (auto it = order_.crbegin(); it != order_.crend(); ++it) {
        QQuickWindow* candidate = windows_.value(*it);
        if (candidate && candidate->isVisible()) {
            activate(candidate);
            return true;
        }
    }
    return false;
}

void CardWindowManager::close(const QString& identifier) {
    QQuickWindow* target = windows_.value(identifier);
    if (!target) {
        return;
    }
    forget(target);
    target->close();
}

bool CardWindowManager::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close) {
        if (auto* closing = qobject_cast<QQuickWindow*>(watched)) {
            // The window manager's close button, Alt+F4, or our own close(): the same bookkeeping.
            forget(closing);
        }
    }
    return QObject::eventFilter(watched, event);
}

void CardWindowManager::forget(QQuickWindow* window) {
    QString identifier;
    for (auto it = windows_.cbegin(); it != windows_.cend(); ++it) {
        if (it.value() == window) {
            identifier = it.key();
            break;
        }
    }
    if (identifier.isEmpty()) {
        return;
    }
    windows_.remove(identifier);
    order_.removeAll(identifier);
    window->removeEventFilter(this);
    window->deleteLater();
    if (identifier == QLatin1String("pencil-test")) {
        session_->setPencilTestActive(false);
        session_->input()->setRecording(false);
        session_->updateInputState();
    }
    emit closed(identifier);
}

CardActions::CardActions(std::function<void()> close, std::function<void()> finish, QObject* parent)
    : QObject(parent), close_(std::move(close)), finish_(std::move(finish)) {}

void CardActions::close() {
    if (close_) {
        close_();
    }
}

void CardActions::finish() {
    if (finish_) {
        finish_();
    }
}

}  // namespace quillory
