#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "protocol/desktop_key.h"

namespace quillory {

struct RecorderState;

// What the recorder panel shows. Keys reach QML as their raw values; every setter announces only
// a change.
class RecorderModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString appName READ appName NOTIFY appNameChanged)
    Q_PROPERTY(QImage icon READ icon NOTIFY iconChanged)
    Q_PROPERTY(QStringList live READ liveNames NOTIFY liveChanged)
    Q_PROPERTY(QStringList peak READ peakNames NOTIFY peakChanged)
    Q_PROPERTY(bool hasResult READ hasResult NOTIFY resultChanged)
    Q_PROPERTY(QStringList result READ resultNames NOTIFY resultChanged)

  public:
    explicit RecorderModel(QObject* parent = nullptr);

    const QString& appName() const { return appName_; }
    const QImage& icon() const { return icon_; }
    const std::vector<DesktopKey>& live() const { return live_; }
    const std::vector<DesktopKey>& peak() const { return peak_; }
    const std::optional<std::vector<DesktopKey>>& result() const { return result_; }
    bool hasResult() const { return result_.has_value(); }

    QStringList liveNames() const;
    QStringList peakNames() const;
    QStringList resultNames() const;

    void setAppName(const QString& name);
    void setIcon(const QImage& icon);
    void setState(const RecorderState& state);

  signals:
    void appNameChanged();
    void iconChanged();
    void liveChanged();
    void peakChanged();
    void resultChanged();

  private:
    QString appName_;
    QImage icon_;
    std::vector<DesktopKey> live_;
    std::vector<DesktopKey> peak_;
    std::optional<std::vector<DesktopKey>> result_;
};

}  // namespace quillory
