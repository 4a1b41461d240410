#pragma once

#include <QByteArray>
#include <QDir>
#include <QEvent>
#include <QImage>
#include <QPointF>
#include <QQmlEngine>
#include <QString>
#include <array>

class QQuickWindow;

namespace quillory {

class FakeAppearanceSource;

// One appearance a screenshot tool renders in; the name ends the file name.
struct ShotAppearance {
    const char* name;
    bool dark;
    bool highContrast;
};

inline constexpr std::array<ShotAppearance, 3> shotAppearances = {{
    {"light", false, false},
    {"dark", true, false},
    {"contrast", false, true},
}};

// What the screenshot tools share: a QML engine under a fake desktop appearance, a fixed font
// and pointer for repeatable images, and PNG files written into one folder.
class ShotWriter {
  public:
    // Fixes the application font and moves the pointer out of the way; call after the
    // application exists. `ready()` is false, after saying why, when the folder cannot be made.
    explicit ShotWriter(QDir directory);

    bool ready() const { return ready_; }
    QQmlEngine& engine() { return engine_; }
    const QDir& directory() const { return directory_; }
    int written() const { return written_; }

    void setAppearance(const ShotAppearance& look, bool reduceMotion);
    // A window built from QML source; nullptr after reporting the error.
    QQuickWindow* create(const QByteArray& qml);
    bool save(QQuickWindow* window, const QString& base);
    bool save(const QImage& image, const QString& base);

  private:
    QDir directory_;
    QQmlEngine engine_;
    FakeAppearanceSource* source_ = nullptr;
    bool ready_ = false;
    int written_ = 0;
};

// Lets events, bindings and animations run for `milliseconds` of animation time. Once a
// ShotWriter exists that time is a clock of its own, stepped frame by frame here, so springs and
// fades have moved exactly as far at every shot however loaded the machine is.
void settleShots(int milliseconds);

// A synthetic mouse event at `position` in the window.
void sendShotMouse(QQuickWindow* window, QEvent::Type type, QPointF position,
                   Qt::MouseButton button, Qt::MouseButtons buttons);

}  // namespace quillory
