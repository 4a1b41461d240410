#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <memory>

namespace quillory {

// One running application per user. The first launch serves a local socket; a later one asks it
// to reopen and leaves. Who serves is decided under an flock on a lock file beside the socket,
// so two launches at once leave one server, and a socket left by a killed instance (nobody
// answers) is taken over. GUI thread only.
class SingleInstance final : public QObject {
    Q_OBJECT

  public:
    enum class Outcome {
        serving,       // this process is the instance
        askedRunning,  // another one runs and was asked to reopen
        failed,        // neither: no socket could be made (the application runs anyway)
    };

    // `$XDG_RUNTIME_DIR/quillory.socket`, else the temporary folder with the user id in the name.
    static QString defaultSocketPath();

    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Blocks only while another launch decides, and for at most a few seconds on a hung peer.
    Outcome claim();
    const QString& socketPath() const { return socketPath_; }

  signals:
    // A later launch asked for the application.
    void reopenRequested();

  private:
    bool askRunning();
    bool serve();
    void acceptConnections();

    QString socketPath_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace quillory
