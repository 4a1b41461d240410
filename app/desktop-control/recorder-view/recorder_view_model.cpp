#include "app/desktop-control/recorder-view/recorder_view_model.h"

#include <algorithm>

#include "app/desktop-control/recorder/recorder_model.h"
#include "design/graphemes.h"
#include "design/motion.h"

namespace quillory {

namespace {

QString capText(DesktopKey key) {
    return QString::fromStdString(symbol(key));
}

}  // namespace

int KeyCapList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant KeyCapList::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const Row& row = rows_[index.row()];
    switch (role) {
        case textRole:
            return row.cap.text;
        case placeholderRole:
            return row.cap.placeholder;
        case pixelSizeRole:
            return RecorderViewModel::capPixelSize(row.cap.text);
        case goingRole:
            return row.going;
        default:
            return {};
    }
}

QHash<int, QByteArray> KeyCapList::roleNames() const {
    return {{textRole, "text"},
            {placeholderRole, "placeholder"},
            {pixelSizeRole, "pixelSize"},
            {goingRole, "going"}};
}

QList<KeyCap> KeyCapList::caps() const {
    QList<KeyCap> caps;
    for (const Row& row : rows_) {
        if (!row.going) {
            caps.append(row.cap);
        }
    }
    return caps;
}

void KeyCapList::setCaps(const QList<KeyCap>& caps) {
    qsizetype row = 0;
    for (const KeyCap& cap : caps) {
        qsizetype found = row;
        while (found < rows_.size() && !(rows_[found].cap == cap)) {
            ++found;
        }
        if (found == rows_.size()) {
            beginInsertRows({}, static_cast<int>(row), static_cast<int>(row));
            rows_.insert(row, {cap});
            endInsertRows();
        } else {
            // A cap that went and is wanted again comes back as itself.
            for (; row < found; ++row) {
                setGoing(row, true);
            }
            setGoing(found, false);
        }
        ++row;
    }
    for (; row < rows_.size(); ++row) {
        setGoing(row, true);
    }
}

void KeyCapList::drop(int row) {
    if (row < 0 || row >= rows_.size() || !rows_[row].going) {
        return;
    }
    // The delegate that asks is the one removed: not from within its own handler, which would
    // run on in a deleted item.
    QMetaObject::invokeMethod(
        this,
        [this, cap = rows_[row].cap] {
            const auto at = std::find_if(rows_.begin(), rows_.end(), [&cap](const Row& shown) {
                return shown.going && shown.cap == cap;
            });
            if (at != rows_.end()) {
                const auto index = static_cast<int>(at - rows_.begin());
                beginRemoveRows({}, index, index);
                rows_.removeAt(index);
                endRemoveRows();
            }
        },
        Qt::QueuedConnection);
}

void KeyCapList::setGoing(qsizetype row, bool going) {
    if (rows_[row].going == going) {
        return;
    }
    rows_[row].going = going;
    const QModelIndex changed = index(static_cast<int>(row));
    emit dataChanged(changed, changed, {goingRole});
}

RecorderViewModel::RecorderViewModel(QObject* parent)
    : QObject(parent),
      keySpring_(new MotionSpring(DesignSpring{0.5, 0.85}, this)),
      caps_(new KeyCapList(this)) {
    connect(this, &RecorderViewModel::changed, this, [this] { caps_->setCaps(wantedCaps()); });
}

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

QList<KeyCap> RecorderViewModel::wantedCaps() const {
    QList<KeyCap> caps;
    if (!model_) {
        return caps;
    }
    for (const DesktopKey key : model_->result().value_or(model_->live())) {
        caps.append({capText(key), false});
    }
    if (!model_->hasResult()) {
        caps.append({QStringLiteral("?"), true});
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
