#include "tools/design-gallery/gallery_shots.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <array>
#include <cstdio>
#include <memory>

#include "design/appearance.h"
#include "design/appearance_source.h"
#include "tools/shots/shot_writer.h"

namespace quillory {

namespace {

constexpr std::array<const char*, 5> palettes = {"electricBlue", "graphite", "paper", "cobalt",
                                                 "pine"};

struct ButtonCase {
    const char* name;
    const char* type;
    const char* body;
};

constexpr std::array<ButtonCase, 6> buttons = {{
    {"pill", "PillButtonStyle", R"(text: "Connect"; role: "primary")"},
    {"floating", "FloatingIconButtonStyle", R"(text: "Grid"; icon.name: "grid"; dimension: 38)"},
    {"press", "DesignPressStyle", R"(
        text: "Press"
        contentItem: Item {
            implicitWidth: 150
            implicitHeight: 44
            ControlFace { anchors.fill: parent; primary: true; radius: 14 }
            DText { anchors.centerIn: parent; text: "Press style"; color: Design.colors.onAccent }
        })"},
    {"plain", "DesignPlainButtonStyle",
     R"(text: "Acknowledgements"; foreground: Design.colors.secondaryText)"},
    {"companion", "CompanionButtonStyle", R"(text: "Primary action"; primary: true)"},
    {"inline", "CompanionInlineButtonStyle", R"(text: "Forget"; destructive: true)"},
}};

enum class ButtonState { rest, hovered, pressed, disabled };
constexpr std::array<std::pair<ButtonState, const char*>, 4> buttonStates = {{
    {ButtonState::rest, "rest"},
    {ButtonState::hovered, "hovered"},
    {ButtonState::pressed, "pressed"},
    {ButtonState::disabled, "disabled"},
}};

QJsonObject rectOf(const QQuickItem* item) {
    const QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    return QJsonObject{
        {"x", rect.x()}, {"y", rect.y()}, {"width", rect.width()}, {"height", rect.height()}};
}

class Shooter {
  public:
    explicit Shooter(ShotWriter& writer) : writer_(writer) {}

    bool galleries() {
        std::unique_ptr<QQuickWindow> window(create(R"(
            import QtQuick
            import QuilloryDesign
            Window {
                property alias gallery: gallery
                width: 760
                height: 900
                visible: true
                DesignSystemGallery { id: gallery; anchors.fill: parent }
            })"));
        if (!window) {
            return false;
        }
        auto* gallery = window->property("gallery").value<QQuickItem*>();
        for (const ShotAppearance& look : shotAppearances) {
            setAppearance(look, true);
            for (const char* palette : palettes) {
                gallery->setProperty("palette", QString::fromLatin1(palette));
                settleShots(30);
                window->resize(760, qCeil(gallery->property("contentHeight").toReal()));
                settleShots(60);
                const QString base = QStringLiteral("gallery-%1-%2").arg(palette, look.name);
                if (!save(window.get(), base)) {
                    return false;
                }
                writeProbes(gallery, base);
            }
        }
        return true;
    }

    bool buttonStates() {
        for (const ShotAppearance& look : shotAppearances) {
            for (const ButtonCase& button : buttons) {
                for (const auto& [state, stateName] : quillory::buttonStates) {
                    if (!buttonShot(look, button, state, stateName)) {
                        return false;
                    }
                }
            }
        }
        return true;
    }

  private:
    bool buttonShot(const ShotAppearance& look, const ButtonCase& button, ButtonState state,
                    const char* stateName) {
        // Presses are shot with motion on and after the springs settle, to show the real depth.
        setAppearance(look, state != ButtonState::pressed);
        const QString source = QStringLiteral(R"(
            import QtQuick
            import QuilloryDesign
            Window {
                property alias sample: sample
                width: 260
                height: 110
                visible: true
                Rectangle {
                    anchors.fill: parent
                    color: Design.colors.background
                    %1 {
                        id: sample
                        anchors.centerIn: parent
                        enabled: %2
                        %3
                    }
                }
            })")
                                   .arg(QString::fromLatin1(button.type),
                                        state == ButtonState::disabled ? "false" : "true",
                                        QString::fromLatin1(button.body));
        std::unique_ptr<QQuickWindow> window(create(source.toUtf8()));
        if (!window) {
            return false;
        }
        settleShots(60);
        auto* sample = window->property("sample").value<QQuickItem*>();
        const QPointF centre = sample->mapToScene(QPointF(sample->width(), sample->height()) / 2);
        // The real pointer may lie anywhere over the new window: every shot places it itself.
        sendShotMouse(window.get(), QEvent::MouseMove,
                      state == ButtonState::rest ? QPointF(1, 1) : centre, Qt::NoButton,
                      Qt::NoButton);
        if (state == ButtonState::pressed) {
            sendShotMouse(window.get(), QEvent::MouseButtonPress, centre, Qt::LeftButton,
                          Qt::LeftButton);
        }
        settleShots(state == ButtonState::pressed ? 400 : 40);
        const bool saved = save(
            window.get(), QStringLiteral("button-%1-%2-%3").arg(button.name, stateName, look.name));
        if (state == ButtonState::pressed) {
            sendShotMouse(window.get(), QEvent::MouseButtonRelease, centre, Qt::LeftButton,
                          Qt::NoButton);
        }
        return saved;
    }

    void setAppearance(const ShotAppearance& look, bool reduceMotion) {
        writer_.setAppearance(look, reduceMotion);
    }

    QQuickWindow* create(const QByteArray& qml) { return writer_.create(qml); }

    bool save(QQuickWindow* window, const QString& base) { return writer_.save(window, base); }

    // Where the probed samples lie, so that a check of the image needs no fixed coordinates.
    void writeProbes(QQuickItem* gallery, const QString& base) {
        QJsonObject probes;
        for (const char* name : {"computerCard", "pillConnect", "companionPrimary", "tileCard"}) {
            if (auto* item = gallery->findChild<QQuickItem*>(QString::fromLatin1(name))) {
                probes.insert(QString::fromLatin1(name), rectOf(item));
            }
        }
        if (auto* page = gallery->property("page").value<QQuickItem*>()) {
            if (!page->childItems().isEmpty()) {
                probes.insert(QStringLiteral("title"), rectOf(page->childItems().first()));
            }
        }
        QFile file(writer_.directory().filePath(base + QStringLiteral(".json")));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(QJsonDocument(probes).toJson());
        }
    }

    ShotWriter& writer_;
};

}  // namespace

int writeGalleryShots(const QString& directory) {
    ShotWriter writer{QDir(directory)};
    if (!writer.ready()) {
        return -1;
    }
    Shooter shooter(writer);
    if (!shooter.galleries() || !shooter.buttonStates()) {
        return -1;
    }
    return writer.written();
}

}  // namespace quillory
