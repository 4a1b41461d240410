#pragma once

#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <vector>

#include "design/design_colors.h"

namespace quillory {

// The appearances the screenshot tools render, as the design's colour table names them.
struct ShotLook {
    const char* name;
    DesignAppearance appearance;
};

inline constexpr ShotLook shotLooks[] = {
    {"light", {false, false}}, {"dark", {true, false}}, {"contrast", {false, true}}};

// Colours in rendered images drift by a step or two of antialiasing and blending.
inline bool nearColor(QColor actual, QColor expected, int tolerance = 4) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// Runs a screenshot tool once, into a temporary folder of its own, and reads what it wrote: each
// shot as "<base>.png" and where its parts lie as "<base>.json". On the X server when the tests
// have one, so that shadows and transparent corners render as users see them; else offscreen.
// A tool that takes "--shard K/N" can run as `shards` processes at once: its scenes mostly wait
// for animations, so they overlap well even on two cores.
class ShotRun {
  public:
    // The folder follows `arguments`.
    ShotRun(const QString& program, const QStringList& arguments, int timeoutMs, int shards = 1) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        onScreen_ = !environment.value(QStringLiteral("DISPLAY")).isEmpty();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                           onScreen_ ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
        std::vector<std::unique_ptr<QProcess>> tools;
        for (int shard = 0; shard < shards; ++shard) {
            auto& tool = tools.emplace_back(std::make_unique<QProcess>());
            tool->setProcessEnvironment(environment);
            tool->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QStringList shardArguments = arguments;
            if (shards > 1) {
                shardArguments << QStringLiteral("--shard")
                               << QStringLiteral("%1/%2").arg(shard).arg(shards);
            }
            shardArguments.append(directory_.path());
            tool->start(program, shardArguments);
        }
        const QDeadlineTimer deadline(timeoutMs);
        finished_ = true;
        for (auto& tool : tools) {
            finished_ = tool->waitForFinished(static_cast<int>(deadline.remainingTime())) &&
                        tool->exitStatus() == QProcess::NormalExit && tool->exitCode() == 0 &&
                        finished_;
            output_ += QString::fromUtf8(tool->readAllStandardOutput());
        }
    }

    // Whether the tool ran to its end and succeeded; its standard output says why not.
    bool finished() const { return finished_; }
    const QString& output() const { return output_; }
    // Offscreen grabs have no alpha.
    bool onScreen() const { return onScreen_; }

    QImage image(const QString& base) const {
        return QImage(QDir(directory_.path()).filePath(base + QStringLiteral(".png")));
    }

    QJsonObject placements(const QString& base) const {
        QFile file(QDir(directory_.path()).filePath(base + QStringLiteral(".json")));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QJsonDocument::fromJson(file.readAll()).object();
    }

  private:
    QTemporaryDir directory_;
    bool onScreen_ = false;
    bool finished_ = false;
    QString output_;
};

}  // namespace quillory
