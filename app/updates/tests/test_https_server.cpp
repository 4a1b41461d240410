#include "app/updates/tests/test_https_server.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <stdexcept>

namespace quillory::testing {

namespace {

struct Made {
    QSslCertificate certificate;
    QSslKey key;
};

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

QByteArray pem(int (*write)(BIO*, const void*), const void* object) {
    BIO* bio = BIO_new(BIO_s_mem());
    write(bio, object);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QByteArray out(data, static_cast<qsizetype>(size));
    BIO_free(bio);
    return out;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for `name`, signed by `issuer` (itself when null).
CertPtr makeCertificate(EVP_PKEY* key, const char* name, X509* issuer, EVP_PKEY* issuerKey,
                        bool authority) {
    CertPtr cert(X509_new(), X509_free);
    X509_set_version(cert.get(), 2);
    static long serial = 1;
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name), -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (authority) {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
        addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    }
    X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256());
    return cert;
}

QSslCertificate toQt(X509* cert) {
    return QSslCertificate(pem(
        [](BIO* b, const void* o) {
            return PEM_write_bio_X509(b, static_cast<X509*>(const_cast<void*>(o)));
        },
        cert));
}

}  // namespace

TestHttpsServer::TestHttpsServer() {
    KeyPtr caKey(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), EVP_PKEY_free);
    KeyPtr serverKey(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), EVP_PKEY_free);
    if (!caKey || !serverKey) {
        throw std::runtime_error("key generation failed");
    }
    CertPtr ca = makeCertificate(caKey.get(), "Quillory test CA", nullptr, nullptr, true);
    CertPtr leaf = makeCertificate(serverKey.get(), "localhost", ca.get(), caKey.get(), false);
    ca_ = toQt(ca.get());
    const QByteArray keyPem = pem(
        [](BIO* b, const void* o) {
            return PEM_write_bio_PrivateKey(b, static_cast<EVP_PKEY*>(const_cast<void*>(o)),
                                            nullptr, nullptr, 0, nullptr, nullptr);
        },
        serverKey.get());

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(toQt(leaf.get()));
    tls.setPrivateKey(QSslKey(keyPem, QSsl::Ec));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    server_.setSslConfiguration(tls);
    QObject::connect(&server_, &QTcpServer::pendingConnectionAvailable, &server_, [this] {
        while (auto* socket = qobject_cast<QSslSocket*>(server_.nextPendingConnection())) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QSslSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                if (buffer->contains("\r\n\r\n")) {
                    answer(socket, *buffer);
                    buffer->clear();
                }
            });
        }
    });
    if (!server_.listen(QHostAddress::LocalHost)) {
        throw std::runtime_error("listen failed");
    }
}

TestHttpsServer::~TestHttpsServer() = default;

QUrl TestHttpsServer::url(const QString& path) const {
    return QUrl(QStringLiteral("https://localhost:%1%2").arg(server_.serverPort()).arg(path));
}

QList<QSslCertificate> TestHttpsServer::anotherCa() {
    KeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), EVP_PKEY_free);
    CertPtr ca = makeCertificate(key.get(), "Another CA", nullptr, nullptr, true);
    return {toQt(ca.get())};
}

void TestHttpsServer::answer(QSslSocket* socket, const QByteArray& request) {
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QString path = words.size() >= 2 ? QString::fromLatin1(words[1]) : QString();
    requests_[path] += 1;
    const auto found = replies_.constFind(path);
    ScriptedReply reply = found != replies_.constEnd() ? *found : ScriptedReply{404, "missing"};
    if (reply.stall) {
        return;
    }
    if (!reply.location.isEmpty()) {
        reply.status = 302;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\n";
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    if (!reply.location.isEmpty()) {
        head += "Location: " + reply.location + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    socket->write(reply.cutMidBody ? reply.body.left(reply.body.size() / 2) : reply.body);
    socket->disconnectFromHost();
}

}  // namespace quillory::testing
