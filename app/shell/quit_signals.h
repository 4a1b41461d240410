#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace quillory {

// SIGINT, SIGTERM and SIGHUP as events of the Qt loop. The signals are blocked in every thread
// (blockQuitSignals() runs first in main, so threads made later inherit the mask) and read from
// a signalfd; where that fails, a handler that only writes the number into a pipe stands in.
// Nothing else runs in signal context. GUI thread only.
class QuitSignals final : public QObject {
    Q_OBJECT

  public:
    // Blocks the three signals in the calling thread; call before any thread exists.
    static void blockQuitSignals();

    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // Whether the signals are watched (false only when neither way could be set up).
    bool watching() const { return notifier_ != nullptr; }

  signals:
    void received(int signalNumber);

  private:
    void readAll();

    int fd_ = -1;
    int pipeWriteEnd_ = -1;
    bool usesPipe_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quillory
