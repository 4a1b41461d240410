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

namespace quillory {

namespace {

struct AppearanceCase {
    const char* name;
    bool dark;
    bool highContrast;
};

constexpr std::array<AppearanceCase, 3> appearances = {{
    {"light", false, false},
    {"dark", true, false},
    {"contrast", false, true},
}};

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

// Lets events, bindings and animations run for a while; the shots are not tests, so waiting for
// springs to come to rest is fine here.
void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void sendMouse(QQuickWindow* window, QEvent::Type type, QPointF position, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, position, window->mapToGlobal(position), button, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

QJsonObject rectOf(const QQuickItem* item) {
    const QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    return QJsonObject{
        {"x", rect.x()}, {"y", rect.y()}, {"width", rect.width()}, {"height", rect.height()}};
}

class Shooter {
  public:
    explicit Shooter(QDir directory) : directory_(std::move(directory)) {
        auto source = std::make_unique<FakeAppearanceSource>();
        source_ = source.get();
        Appearance::shared()->setSources(nullptr, std::move(source));
        engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
    }

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
        for (const AppearanceCase& look : appearances) {
            setAppearance(look, true);
            for (const char* palette : palettes) {
                gallery->setProperty("palette", QString::fromLatin1(palette));
                settle(30);
                window->resize(760, qCeil(gallery->property("contentHeight").toReal()));
                settle(60);
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
        for (const AppearanceCase& look : appearances) {
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

    int written() const { return written_; }

  private:
    bool buttonShot(const AppearanceCase& look, const ButtonCase& button, ButtonState state,
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
        settle(60);
        auto* sample = window->property("sample").value<QQuickItem*>();
        const QPointF centre = sample->mapToScene(QPointF(sample->width(), sample->height()) / 2);
        // The real pointer may lie anywhere over the new window: every shot places it itself.
        sendMouse(window.get(), QEvent::MouseMove,
                  state == ButtonState::rest ? QPointF(1, 1) : centre, Qt::NoButton, Qt::NoButton);
        if (state == ButtonState::pressed) {
            sendMouse(window.get(), QEvent::MouseButtonPress, centre, Qt::LeftButton,
                      Qt::LeftButton);
        }
        settle(state == ButtonState::pressed ? 400 : 40);
        const bool saved = save(
            window.get(), QStringLiteral("button-%1-%2-%3").arg(button.name, stateName, look.name));
        if (state == ButtonState::pressed) {
            sendMouse(window.get(), QEvent::MouseButtonRelease, centre, Qt::LeftButton,
                      Qt::NoButton);
        }
        return saved;
    }

    void setAppearance(const AppearanceCase& look, bool reduceMotion) {
        source_->setSettings({.dark = look.dark,
                              .highContrast = look.highContrast,
                              .reduceMotion = reduceMotion,
                              .reduceTransparency = false,
                              .textScale = 1.0});
    }

    QQuickWindow* create(const QByteArray& qml) {
        QQmlComponent component(&engine_);
        component.setData(qml, QUrl(QStringLiteral("qrc:/gallery-shots.qml")));
        QObject* object = component.create();
        auto* window = qobject_cast<QQuickWindow*>(object);
        if (!window) {
            std::fprintf(stderr, "Cannot build the gallery: %s\n",
                         qPrintable(component.errorString()));
            delete object;
            return nullptr;
        }
        return window;
    }

    bool save(QQuickWindow* window, const QString& base) {
        const QString path = directory_.filePath(base + QStringLiteral(".png"));
        if (!window->grabWindow().save(path)) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(path));
            return false;
        }
        ++written_;
        return true;
    }

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
        QFile file(directory_.filePath(base + QStringLiteral(".json")));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(QJsonDocument(probes).toJson());
        }
    }

    QDir directory_;
    QQmlEngine engine_;
    FakeAppearanceSource* source_ = nullptr;
    int written_ = 0;
};

}  // namespace

int writeGalleryShots(const QString& directory) {
    QDir dir(directory);
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(directory));
        return -1;
    }
    // A fixed family, so that shots compare across machines.
    QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    // Out of the way of every window, so that it hovers nothing by itself.
    QCursor::setPos(0, 0);
    Shooter shooter(dir);
    if (!shooter.galleries() || !shooter.buttonStates()) {
        return -1;
    }
    return shooter.written();
}

}  // namespace quillory
