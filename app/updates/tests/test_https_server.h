#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSslCertificate>
#include <QSslServer>
#include <QUrl>
#include <memory>

namespace quillory::testing {

// A scripted reply for one path.
struct ScriptedReply {
    int status = 200;
    QByteArray body;
    // Sent as Location with a 302 when not empty.
    QByteArray location;
    // Announces the whole length, sends half and closes.
    bool cutMidBody = false;
    // Answers nothing.
    bool stall = false;
};

// An HTTPS server on 127.0.0.1 with a CA and a "localhost" certificate made at start.
class TestHttpsServer {
  public:
    TestHttpsServer();
    ~TestHttpsServer();

    void script(const QString& path, ScriptedReply reply) { replies_[path] = std::move(reply); }
    // https://localhost:<port><path>
    QUrl url(const QString& path) const;
    // The CA that signed the server's certificate; hand it to the client.
    QList<QSslCertificate> trusted() const { return {ca_}; }
    // A CA nobody trusts, for the untrusted-certificate case.
    static QList<QSslCertificate> anotherCa();
    int requests(const QString& path) const { return requests_.value(path); }

  private:
    void answer(QSslSocket* socket, const QByteArray& request);

    QSslServer server_;
    QSslCertificate ca_;
    QHash<QString, ScriptedReply> replies_;
    QHash<QString, int> requests_;
};

}  // namespace quillory::testing
