#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>

class QQmlEngine;
class QJSEngine;

namespace quillory {

// The application's cursor stack: the pointing hand is pushed as an override cursor and popped
// again. Every push and pop happens on the main thread.
class PointerCursor final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Pushes of the pointing hand not yet popped.
    Q_PROPERTY(int depth READ depth NOTIFY depthChanged)
    // Every push since start-up, so that a test can tell one push from two.
    Q_PROPERTY(int pushes READ pushes NOTIFY depthChanged)

  public:
    static PointerCursor* shared();
    static PointerCursor* create(QQmlEngine*, QJSEngine*);

    void push();
    void pop();
    int depth() const { return depth_; }
    int pushes() const { return pushes_; }

  signals:
    void depthChanged();

  private:
    PointerCursor() = default;

    int depth_ = 0;
    int pushes_ = 0;
};

// Whether one element has its pointing hand on the cursor stack, so that every push is matched
// by exactly one pop and an element never pushes twice.
class CursorClaim : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool claimed READ claimed NOTIFY claimedChanged)

  public:
    explicit CursorClaim(QObject* parent = nullptr) : QObject(parent) {}
    // A claim still held is given back later on the main thread, wherever it is destroyed.
    ~CursorClaim() override;

    bool claimed() const { return claimed_; }
    // Pushes when the element starts to want the hand, pops when it stops; nothing otherwise.
    Q_INVOKABLE void want(bool wanted);
    Q_INVOKABLE void release() { want(false); }

  signals:
    void claimedChanged();

  private:
    bool claimed_ = false;
};

}  // namespace quillory
