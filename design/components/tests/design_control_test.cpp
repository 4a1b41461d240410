#include "design/design_control.h"

#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <memory>

#include "design/design_material_mode.h"
#include "design/graphemes.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)

namespace quillory {
namespace {

TEST(DesignMaterialModeTest, RawValuesMatchExactly) {
    for (auto mode : {DesignMaterialMode::automatic, DesignMaterialMode::fallback,
                      DesignMaterialMode::opaque}) {
        EXPECT_EQ(designMaterialModeFromRawValue(rawValue(mode)), mode);
    }
    EXPECT_EQ(designMaterialModeFromRawValue(QStringLiteral("Opaque")), std::nullopt);
    EXPECT_EQ(designMaterialModeFromRawValue(QString()), std::nullopt);
}

TEST(GraphemesTest, SplitsUserPerceivedCharacters) {
    EXPECT_EQ(graphemes(QString()), QStringList());
    EXPECT_EQ(graphemes(QStringLiteral("472913")), QString("472913").split("", Qt::SkipEmptyParts));
    // A thumbs-up with a skin tone, a flag and an e with a combining accent: one cell each.
    const QString mixed = QStringLiteral("\U0001F44D\U0001F3FD\U0001F1EB\U0001F1F7e\u03011");
    EXPECT_EQ(graphemes(mixed), (QStringList{QStringLiteral("\U0001F44D\U0001F3FD"),
                                             QStringLiteral("\U0001F1EB\U0001F1F7"),
                                             QStringLiteral("e\u0301"), QStringLiteral("1")}));
}

class DesignControlTest : public testing::Test {
  protected:
    DesignControlTest() { engine_.addImportPath(QStringLiteral("qrc:/qt/qml")); }

    QQuickItem* load(const char* qml) {
        QQmlComponent component(&engine_);
        component.setData(qml, QUrl());
        root_.reset(qobject_cast<QQuickItem*>(component.create()));
        EXPECT_TRUE(root_) << component.errorString().toStdString();
        return root_.get();
    }

    static DesignControl* attached(QObject* item) {
        return qobject_cast<DesignControl*>(qmlAttachedPropertiesObject<DesignControl>(item));
    }

    QQmlEngine engine_;
    std::unique_ptr<QQuickItem> root_;
};

TEST_F(DesignControlTest, ValuesFlowDownToTheNearestSetting) {
    QQuickItem* root = load(R"(
        import QtQuick
        import QuilloryDesign
        Item {
            property alias inner: inner
            property alias leaf: leaf
            DesignControl.materialMode: "opaque"
            Item {
                id: inner
                Item { id: leaf; property string mode: DesignControl.materialMode
                       property bool pressed: DesignControl.pressed }
            }
        })");
    ASSERT_TRUE(root);
    auto* inner = root->property("inner").value<QQuickItem*>();
    auto* leaf = root->property("leaf").value<QQuickItem*>();
    EXPECT_EQ(leaf->property("mode").toString(), "opaque");
    EXPECT_FALSE(leaf->property("pressed").toBool());

    attached(inner)->setPressed(true);
    attached(inner)->setMaterialModeName(QStringLiteral("fallback"));
    EXPECT_TRUE(leaf->property("pressed").toBool());
    EXPECT_EQ(leaf->property("mode").toString(), "fallback");

    attached(inner)->resetMaterialMode();
    attached(inner)->resetPressed();
    EXPECT_EQ(leaf->property("mode").toString(), "opaque");
    EXPECT_FALSE(leaf->property("pressed").toBool());

    // An unknown name changes nothing.
    attached(root)->setMaterialModeName(QStringLiteral("glass"));
    EXPECT_EQ(leaf->property("mode").toString(), "opaque");

    // Moved out of the tree, the item falls back to the defaults.
    leaf->setParentItem(nullptr);
    EXPECT_EQ(leaf->property("mode").toString(), "automatic");
    leaf->setParentItem(inner);
    EXPECT_EQ(leaf->property("mode").toString(), "opaque");
}

}  // namespace
}  // namespace quillory
