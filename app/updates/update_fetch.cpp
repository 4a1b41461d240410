#include "app/updates/update_fetch.h"

#include <QIODevice>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <memory>

namespace quillory {

namespace {

constexpr int maxRedirects = 5;

struct FetchState {
    FetchResult result;
    bool tooLarge = false;
    bool sinkFailed = false;
};

QNetworkRequest httpsRequest(const QUrl& url, const FetchPolicy& policy) {
    QNetworkRequest request(url);
    // Refuses https → http; the reply's final address is checked again when it finishes.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setTransferTimeout(static_cast<int>(policy.transferTimeout.count()));
    if (policy.trustedCertificates) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates(*policy.trustedCertificates);
        request.setSslConfiguration(tls);
    }
    return request;
}

// Takes what arrived into the sink or the body; aborts the reply past the size allowed or when
// the sink refuses a write.
void readArrived(QNetworkReply* reply, FetchState& state, QIODevice* sink, qint64 maxBytes,
                 const std::function<void(qint64, qint64)>& progress) {
    if (state.tooLarge || state.sinkFailed) {
        return;
    }
    const QByteArray chunk = reply->readAll();
    if (state.result.received + chunk.size() > maxBytes) {
        state.tooLarge = true;
        reply->abort();
        return;
    }
    state.result.received += chunk.size();
    if (sink) {
        if (sink->write(chunk) != chunk.size()) {
            state.sinkFailed = true;
            reply->abort();
            return;
        }
    } else {
        state.result.body.append(chunk);
    }
    if (progress) {
        progress(state.result.received,
                 reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    }
}

FetchResult finishedResult(QNetworkReply* reply, FetchState& state, const QUrl& url) {
    FetchResult result = std::move(state.result);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (state.tooLarge) {
        result.error = QStringLiteral("%1 is larger than allowed").arg(url.toString());
    } else if (state.sinkFailed) {
        result.error = QStringLiteral("Could not save %1").arg(url.toString());
    } else if (reply->error() != QNetworkReply::NoError) {
        result.error = reply->errorString();
    } else if (reply->url().scheme() != QLatin1String("https")) {
        result.error = QStringLiteral("%1 left https").arg(url.toString());
    } else if (status != 200) {
        result.error = QStringLiteral("%1 answered HTTP %2").arg(url.toString()).arg(status);
    }
    if (!result.error.isEmpty()) {
        result.body.clear();
    }
    return result;
}

}  // namespace

QPointer<QNetworkReply> fetchOverHttps(QNetworkAccessManager& manager, const QUrl& url,
                                       const FetchPolicy& policy, QIODevice* sink,
                                       std::function<void(qint64, qint64)> progress,
                                       std::function<void(FetchResult)> done) {
    if (url.scheme() != QLatin1String("https")) {
        // Answered on the next turn, as every other outcome is.
        QMetaObject::invokeMethod(
            &manager,
            [done, error = QStringLiteral("%1 is not an https address").arg(url.toString())] {
                done(FetchResult{error, {}, 0});
            },
            Qt::QueuedConnection);
        return nullptr;
    }
    QNetworkReply* reply = manager.get(httpsRequest(url, policy));
    auto state = std::make_shared<FetchState>();
    const qint64 maxBytes = policy.maxBytes;
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& next) {
        if (next.scheme() != QLatin1String("https")) {
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply,
                     [reply, state, sink, maxBytes, progress] {
                         readArrived(reply, *state, sink, maxBytes, progress);
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, state, url, done] {
        reply->deleteLater();
        done(finishedResult(reply, *state, url));
    });
    return reply;
}

}  // namespace quillory
