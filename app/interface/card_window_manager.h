#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QSet>
#include <QStringList>
#include <functional>

#include "app/session/session_facade.h"
#include "app/shell/mac_app_lifecycle.h"

class QQmlComponent;
class QQmlEngine;

namespace quillory {

// What a card's view may ask of its window.
class CardActions final : public QObject {
    Q_OBJECT

  public:
    CardActions(std::function<void()> close, std::function<void()> finish, QObject* parent);

    // Closes the view's own card.
    Q_INVOKABLE void close();
    // The end of onboarding: the status panel shows for the user.
    Q_INVOKABLE void finish();

  private:
    std::function<void()> close_;
    std::function<void()> finish_;
};

// The card windows, one per identifier ("welcome", "settings", "pencil-test",
// "remembered-devices"): frameless, transparent, sized to their view plus a margin for its
// shadow (a CardFrame), centred, moved by a drag anywhere on the card and listed in the taskbar.
// Each open builds a fresh view from the identifier's component; a second open fronts the window.
// The view gets `session`, `updates`, `loginItem` and `actions` (CardActions) where it declares
// them. The pen test's side effects follow its window, however it closes: by its view, by close(),
// or by the window manager. Main thread.
class CardWindowManager final : public QObject, public LifecycleCardWindows {
    Q_OBJECT

  public:
    static constexpr int defaultCardRadius = 22;

    struct Environment {
        QQmlEngine* engine = nullptr;
        // Shows the status panel for the user.
        std::function<void()> finish;
        // Whether a compositing manager draws soft edges and the shadow; without one the window is
        // cut to its card. None counts as no.
        std::function<bool()> compositing;
    };

    static const QStringList& identifiers();

    CardWindowManager(SessionFacade* session, Environment environment, QObject* parent = nullptr);
    ~CardWindowManager() override;

    // The view of an identifier; until one is set, opening the identifier opens nothing.
    void setView(const QString& identifier, QQmlComponent* component);

    void open(const QString& identifier) override;
    bool raiseVisible() override;
    void close(const QString& identifier);

    QQuickWindow* window(const QString& identifier) const;
    QStringList openIdentifiers() const { return order_; }

  signals:
    void opened(const QString& identifier);
    void closed(const QString& identifier);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QQuickWindow* build(const QString& identifier, QQmlComponent* component);
    // The view takes its implicit size, when it has one; the window follows the view.
    static void fit(QQuickItem* view);
    void shown(const QString& identifier);
    void forget(QQuickWindow* window);

    SessionFacade* session_;
    Environment environment_;
    QHash<QString, QQmlComponent*> views_;
    QHash<QString, QPointer<QQuickWindow>> windows_;
    QStringList order_;  // open identifiers, the most recently opened last
    QSet<QString> reportedMissing_;
};

}  // namespace quillory
