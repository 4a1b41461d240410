// The recorder card rendered in the states a user sees, in light, dark and increased contrast;
// probed by pixel and saved as PNGs for a look.
#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <memory>

#include "app/desktop-control/recorder/recorder_core.h"
#include "app/desktop-control/recorder/recorder_model.h"
#include "design/appearance.h"
#include "design/appearance_source.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryRecorderPlugin)

namespace quillory {
namespace {

using K = DesktopKey;

FakeAppearanceSource* appearance = nullptr;

QImage sampleIcon() {
    QImage icon(104, 104, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(255, 140, 0));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(4, 4, 96, 96), 22, 22);
    return icon;
}

struct Scene {
    const char* name;
    QString appName;
    bool icon;
    RecorderState state;
};

const Scene scenes[] = {
    {"before-any-key", QStringLiteral("Krita"), true, {}},
    {"control-shift-held",
     QStringLiteral("Krita"),
     true,
     {{K::control, K::shift}, {K::control, K::shift}, std::nullopt}},
    {"got-it",
     QStringLiteral("Krita"),
     true,
     {{}, {K::command}, std::vector<DesktopKey>{K::command, K::shift, K::space}}},
    {"without-icon", QStringLiteral("Inkscape"), false, {}},
    {"long-name",
     QStringLiteral("A Very Long Application Name That Cannot Possibly Fit On One Line"),
     true,
     {{K::option}, {K::option}, std::nullopt}},
};

struct Look {
    const char* name;
    AppearanceSettings settings;
};

const Look looks[] = {
    {"light", {.dark = false, .highContrast = false, .reduceMotion = true}},
    {"dark", {.dark = true, .highContrast = false, .reduceMotion = true}},
    {"contrast", {.dark = false, .highContrast = true, .reduceMotion = true}},
};

bool near(QColor a, QColor b, int tolerance = 14) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QColor pixel(const QImage& image, QPointF at) {
    return image.pixelColor(at.toPoint());
}

// The visible items of the card with an object name; Repeater delegates included, which are
// visual children only.
QList<QQuickItem*> items(QQuickItem* root, const char* name) {
    QList<QQuickItem*> found;
    for (QQuickItem* child : root->childItems()) {
        if (!child->isVisible()) {
            continue;
        }
        if (child->objectName() == QLatin1String(name)) {
            found.append(child);
        }
        found.append(items(child, name));
    }
    return found;
}

void PrintTo(const Scene& scene, std::ostream* out) {
    *out << scene.name;
}

void PrintTo(const Look& look, std::ostream* out) {
    *out << look.name;
}

class RecorderViewScenes : public ::testing::TestWithParam<std::tuple<Scene, Look>> {};

TEST_P(RecorderViewScenes, Renders) {
    const auto& [scene, look] = GetParam();
    appearance->setSettings(look.settings);

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    RecorderModel model;
    model.setAppName(scene.appName);
    model.setIcon(scene.icon ? sampleIcon() : QImage());
    model.setState(scene.state);

    QQuickView view(&engine, nullptr);
    view.setColor(Qt::transparent);
    view.setResizeMode(QQuickView::SizeViewToRootObject);
    view.setInitialProperties({{QStringLiteral("model"), QVariant::fromValue<QObject*>(&model)}});
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/QuilloryRecorder/RecorderView.qml")));
    ASSERT_TRUE(view.rootObject()) << view.errors().value(0).toString().toStdString();
    QQuickItem* root = view.rootObject();
    view.show();
    const QImage image = view.grabWindow();
    ASSERT_FALSE(image.isNull());
    const QString shots = qEnvironmentVariable("QUILLORY_SHOTS_DIR", QDir::tempPath());
    QDir().mkpath(shots);
    image.save(QStringLiteral("%1/recorder-%2-%3.png").arg(shots, scene.name, look.name));

    EXPECT_EQ(image.width(), 460);
    // The header's gradient, clear of text and corners.
    EXPECT_TRUE(near(pixel(image, {400, 3}), QColor::fromRgbF(0.36f, 0.49f, 1.0f), 16))
        << pixel(image, {400, 3}).name().toStdString();
    EXPECT_TRUE(near(pixel(image, {400, 94}), QColor::fromRgbF(0.16f, 0.30f, 0.95f), 16))
        << pixel(image, {400, 94}).name().toStdString();

    // The icon, or the white dashed symbol in its place.
    const QList<QQuickItem*> icons = items(root, "appIcon");
    ASSERT_EQ(icons.size(), 1);
    const QRectF iconRect = icons[0]->mapRectToScene(icons[0]->boundingRect());
    int white = 0;
    int orange = 0;
    for (int y = int(iconRect.top()); y < int(iconRect.bottom()); ++y) {
        for (int x = int(iconRect.left()); x < int(iconRect.right()); ++x) {
            const QColor c = image.pixelColor(x, y);
            white += c.red() > 190 && c.green() > 190 && c.blue() > 190;
            orange += near(c, QColor(255, 140, 0), 20);
        }
    }
    if (scene.icon) {
        EXPECT_GT(orange, 1500);
    } else {
        EXPECT_GT(white, 80);
        EXPECT_EQ(orange, 0);
    }

    // Key caps: a raised face in the surface colour, or the dashed placeholder.
    const QList<QQuickItem*> faces = items(root, "capFace");
    const QList<QQuickItem*> dashes = items(root, "capDashes");
    EXPECT_EQ(dashes.size(), scene.state.result ? 0 : 1);
    for (QQuickItem* face : faces) {
        const QColor fill = face->property("color").value<QColor>();
        if (fill.alpha() == 0) {
            continue;
        }
        const QPointF inside = face->mapToScene(QPointF(5, face->height() / 2));
        EXPECT_TRUE(near(pixel(image, inside), fill, 6))
            << pixel(image, inside).name().toStdString() << " " << fill.name().toStdString();
    }
    for (QQuickItem* dashed : dashes) {
        const QColor background = root->property("color").value<QColor>();
        int stroke = 0;
        int gap = 0;
        // Along the top edge, between the corners: dashes with gaps of the background between.
        for (int x = 14; x < int(dashed->width()) - 14; ++x) {
            const QColor c = image.pixelColor(dashed->mapToScene(QPointF(x, 0)).toPoint());
            gap += near(c, background, 20);
            stroke += !near(c, background, 40);
        }
        EXPECT_GE(stroke, 6);
        EXPECT_GE(gap, 3);
    }

    // The prompt and the title are drawn.
    for (const char* name : {"prompt", "title"}) {
        const QList<QQuickItem*> texts = items(root, name);
        ASSERT_EQ(texts.size(), 1) << name;
        const QRectF area = texts[0]->mapRectToScene(texts[0]->boundingRect());
        const QColor textColor = texts[0]->property("color").value<QColor>();
        int inked = 0;
        for (int y = int(area.top()); y < int(area.bottom()); ++y) {
            for (int x = int(area.left()); x < int(area.right()); ++x) {
                inked += near(image.pixelColor(x, y), textColor, 40);
            }
        }
        EXPECT_GT(inked, 40) << name;
    }
    if (std::string_view(scene.name) == "long-name") {
        const QQuickItem* title = items(root, "title").value(0);
        EXPECT_TRUE(title && title->property("truncated").toBool());
        EXPECT_LE(title->height(), 40);
    }
}

INSTANTIATE_TEST_SUITE_P(AllLooks, RecorderViewScenes,
                         ::testing::Combine(::testing::ValuesIn(scenes),
                                            ::testing::ValuesIn(looks)),
                         [](const auto& test) {
                             std::string name = std::string(std::get<0>(test.param).name) + "_" +
                                                std::get<1>(test.param).name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    auto source = std::make_unique<quillory::FakeAppearanceSource>();
    quillory::appearance = source.get();
    quillory::Appearance::shared()->setSources(nullptr, std::move(source));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
