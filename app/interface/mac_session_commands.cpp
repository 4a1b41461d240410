#include "app/interface/mac_session_commands.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>

namespace quillory {

MacSessionCommands::MacSessionCommands(SessionFacade* session, Actions actions, QObject* parent)
    : QObject(parent), session_(session), actions_(std::move(actions)), menu_(new QMenu()) {
    open_ = add(tr("Open"), {}, [this] {
        if (actions_.showPanel) {
            actions_.showPanel();
        }
    });
    menu_->addSeparator();
    rememberedDevices_ = add(tr("Remembered devices\u2026"), {}, [this] {
        if (actions_.open) {
            actions_.open(QStringLiteral("remembered-devices"));
        }
    });
    settings_ = add(tr("Settings"), QKeySequence(Qt::CTRL | Qt::Key_Comma), [this] {
        if (actions_.open) {
            actions_.open(QStringLiteral("settings"));
        }
    });
    checkForUpdates_ = add(tr("Check for Updates\u2026"), {}, [this] {
        if (UpdatesControl* updates = session_->shell() ? session_->shell()->updates() : nullptr) {
            updates->checkForUpdates();
        }
    });
    menu_->addSeparator();
    clearPenTest_ = add(tr("Clear Pen Test"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K),
                        [this] { session_->input()->clearSamples(); });
    disconnect_ = add(tr("Disconnect iPad"), {}, [this] { session_->disconnect(); });
    menu_->addSeparator();
    quit_ = add(tr("Quit Quillory"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] {
        if (actions_.quit) {
            actions_.quit();
        }
    });

    connect(session_, &SessionFacade::connectedChanged, this, &MacSessionCommands::refresh);
    if (session_->shell() && session_->shell()->updates()) {
        UpdatesControl* updates = session_->shell()->updates();
        connect(updates, &UpdatesControl::availableChanged, this, &MacSessionCommands::refresh);
        connect(updates, &UpdatesControl::canCheckChanged, this, &MacSessionCommands::refresh);
    }
    refresh();
}

MacSessionCommands::~MacSessionCommands() {
    if (filtering_ && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

QAction* MacSessionCommands::add(const QString& title, const QKeySequence& shortcut,
                                 std::function<void()> run) {
    QAction* action = menu_->addAction(title);
    if (!shortcut.isEmpty()) {
        // Shown in the menu; the application-wide filter below does the work, in Qt Quick
        // windows too, where a widget action's shortcut never fires.
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return action;
}

void MacSessionCommands::refresh() {
    const UpdatesControl* updates = session_->shell() ? session_->shell()->updates() : nullptr;
    checkForUpdates_->setVisible(updates && updates->available());
    checkForUpdates_->setEnabled(updates && updates->canCheck());
    disconnect_->setEnabled(session_->connected());
}

void MacSessionCommands::installShortcuts() {
    if (!filtering_ && QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
        filtering_ = true;
    }
}

bool MacSessionCommands::runShortcut(QKeyCombination key) {
    const QKeySequence pressed(
        QKeyCombination(key.keyboardModifiers() & ~Qt::KeypadModifier, key.key()));
    for (QAction* action : {settings_, clearPenTest_, quit_}) {
        if (action->shortcut() == pressed && action->isEnabled()) {
            action->trigger();
            return true;
        }
    }
    return false;
}

bool MacSessionCommands::eventFilter(QObject* watched, QEvent* event) {
    // Windows only: a key press also passes through the widget or item it is meant for.
    if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && runShortcut(key->keyCombination())) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quillory
