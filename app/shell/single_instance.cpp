#include "app/shell/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>

#include "platform/files/unique_fd.h"
#include "platform/files/xdg_dirs.h"
#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory", "single-instance");
    return instance;
}

const QByteArray reopenLine = QByteArrayLiteral("reopen\n");
constexpr int answerWaitMs = 2000;

// Held for the life of the object.
class LockFile {
  public:
    explicit LockFile(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_.valid() && ::flock(fd_.get(), LOCK_EX) != 0) {
            fd_.reset();
        }
    }
    bool held() const { return fd_.valid(); }

  private:
    UniqueFd fd_;  // closing releases the lock
};

}  // namespace

QString SingleInstance::defaultSocketPath() {
    if (const auto runtime = xdgRuntimeDir()) {
        const QDir folder(QFile::decodeName(runtime->c_str()));
        if (folder.exists()) {
            return folder.filePath(QStringLiteral("quillory.socket"));
        }
    }
    return QDir::temp().filePath(QStringLiteral("quillory-%1.socket").arg(::getuid()));
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    if (server_) {
        server_->close();  // removes the socket file
    }
}

SingleInstance::Outcome SingleInstance::claim() {
    const LockFile lock(socketPath_ + QStringLiteral(".lock"));
    if (!lock.held()) {
        logger().error("Cannot lock %s.lock; running without the single-instance check",
                       qUtf8Printable(socketPath_));
    }
    if (askRunning()) {
        return Outcome::askedRunning;
    }
    return serve() ? Outcome::serving : Outcome::failed;
}

bool SingleInstance::askRunning() {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(answerWaitMs)) {
        return false;
    }
    socket.write(reopenLine);
    // Once written, the line waits in the socket for the server even after we close.
    return socket.waitForBytesWritten(answerWaitMs);
}

bool SingleInstance::serve() {
    // Nobody answers on a socket left behind: take it over.
    QLocalServer::removeServer(socketPath_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath_)) {
        logger().error("Cannot listen on %s: %s", qUtf8Printable(socketPath_),
                       qUtf8Printable(server_->errorString()));
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard] {
            if (!guard) {
                return;
            }
            if (!guard->canReadLine()) {
                if (guard->bytesAvailable() > reopenLine.size()) {
                    guard->abort();  // not one of ours
                }
                return;
            }
            const QByteArray line = guard->readLine(64);
            guard->disconnectFromServer();
            if (line == reopenLine) {
                emit reopenRequested();
            }
        });
    }
}

}  // namespace quillory
