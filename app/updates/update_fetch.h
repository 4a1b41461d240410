#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

class QIODevice;

namespace quillory {

// How the updater's requests may go: https only (redirects too, at most five), at most
// `maxBytes`, a transfer timeout, and the system's CA store unless tests hand their own.
struct FetchPolicy {
    qint64 maxBytes = 1 << 20;
    std::chrono::milliseconds transferTimeout{30000};
    std::optional<QList<QSslCertificate>> trustedCertificates;
};

struct FetchResult {
    // Empty on success, else why the fetch failed.
    QString error;
    // The body when no sink was given.
    QByteArray body;
    qint64 received = 0;
};

// Fetches `url` into memory, or into `sink` when one is given. `progress` hears the bytes so far
// and the expected total (0 when unknown). Every outcome calls `done` once, on a later turn of
// the manager's thread.
QPointer<QNetworkReply> fetchOverHttps(QNetworkAccessManager& manager, const QUrl& url,
                                       const FetchPolicy& policy, QIODevice* sink,
                                       std::function<void(qint64, qint64)> progress,
                                       std::function<void(FetchResult)> done);

}  // namespace quillory
