#include "app/desktop-control/recorder-view/recorder_view_model.h"

#include <QVariantMap>

#include "app/desktop-control/recorder/recorder_model.h"
#include "design/graphemes.h"
#include "design/motion.h"

namespace quillory {

namespace {

QVariantMap cap(const QString& text, bool placeholder) {
    return {{QStringLiteral("text"), text},
            {QStringLiteral("placeholder"), placeholder},
            {QStringLiteral("pixelSize"), RecorderViewModel::capPixelSize(text)}};
}

QString capText(DesktopKey key) {
    return QString::fromStdString(symbol(key));
}

}  // namespace

RecorderViewModel::RecorderViewModel(QObject* parent)
    : QObject(parent), keySpring_(new MotionSpring(DesignSpring{0.5, 0.85}, this)) {}

QObject* RecorderViewModel::model() const {
    return model_;
}

void RecorderViewModel::setModel(QObject* model) {
    auto* recorderModel = qobject_cast<RecorderModel*>(model);
    if (recorderModel == model_) {
        return;
    }
    if (model_) {
        disconnect(model_, nullptr, this, nullptr);
    }
    model_ = recorderModel;
    if (model_) {
        for (auto signal : {&RecorderModel::appNameChanged, &RecorderModel::iconChanged,
                            &RecorderModel::liveChanged, &RecorderModel::resultChanged}) {
            connect(model_, signal, this, &RecorderViewModel::changed);
        }
    }
    emit modelChanged();
    emit changed();
}

QString RecorderViewModel::title() const {
    return tr("Shortcut for %1").arg(model_ ? model_->appName() : QString());
}

QImage RecorderViewModel::icon() const {
    return model_ ? model_->icon() : QImage();
}

QString RecorderViewModel::prompt() const {
    return model_ && model_->hasResult() ? tr("Got it") : tr("Press the shortcut");
}

QVariantList RecorderViewModel::caps() const {
    QVariantList caps;
    if (!model_) {
        return caps;
    }
    for (const DesktopKey key : model_->result().value_or(model_->live())) {
        caps.append(cap(capText(key), false));
    }
    if (!model_->hasResult()) {
        caps.append(cap(QStringLiteral("?"), true));
    }
    return caps;
}

QString RecorderViewModel::explanation() const {
    return model_ && model_->hasResult()
               ? tr("Sending it to your iPad…")
               : tr("Quillory listens only while this is open. A modifier on its own records just "
                    "that key.");
}

bool RecorderViewModel::clearEnabled() const {
    return model_ && !model_->hasResult() && !model_->live().empty();
}

int RecorderViewModel::capPixelSize(const QString& text) {
    return graphemes(text).size() <= 2 ? largeCapPixels : smallCapPixels;
}

}  // namespace quillory
