#include "app/updates/update_feed.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include "protocol/base64.h"

namespace quillory {

namespace {

constexpr qsizetype signatureBytes = 64;

struct ItemFields {
    QString title, notes, version, link, archiveUrl, length, signature;
    bool hasEnclosure = false;
};

QString itemName(const ItemFields& fields) {
    return fields.version.isEmpty() ? fields.title : fields.version;
}

bool isHttps(const QUrl& url) {
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

// The item, or why it is left out.
std::variant<UpdateItem, QString> makeItem(const ItemFields& fields) {
    if (!isUpdateVersion(fields.version)) {
        return QStringLiteral("version \"%1\" is not dotted numbers").arg(fields.version);
    }
    if (!fields.hasEnclosure) {
        return QStringLiteral("no enclosure");
    }
    UpdateItem item;
    item.title = fields.title;
    item.notes = fields.notes;
    item.version = fields.version;
    item.link = QUrl(fields.link, QUrl::StrictMode);
    item.archiveUrl = QUrl(fields.archiveUrl, QUrl::StrictMode);
    if (!isHttps(item.archiveUrl) || !isHttps(item.link)) {
        return QStringLiteral("an address is not https");
    }
    bool numeric = false;
    item.length = fields.length.toLongLong(&numeric);
    if (!numeric || item.length <= 0) {
        return QStringLiteral("length \"%1\" is not a positive number").arg(fields.length);
    }
    const auto signature = base64Decode(fields.signature.trimmed().toStdString());
    if (!signature || std::ssize(*signature) != signatureBytes) {
        return QStringLiteral("the signature is not 64 bytes of base64");
    }
    item.signature = *signature;
    return item;
}

}  // namespace

bool isUpdateVersion(const QString& version) {
    // At most nine digits a part, so that every part fits in an int.
    static const QRegularExpression form(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,9})*$"));
    return form.match(version).hasMatch();
}

int compareUpdateVersions(const QString& a, const QString& b) {
    const QStringList left = a.split(QLatin1Char('.'));
    const QStringList right = b.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const int x = i < left.size() ? left[i].toInt() : 0;
        const int y = i < right.size() ? right[i].toInt() : 0;
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

std::optional<ParsedUpdateFeed> parseUpdateFeed(const QByteArray& feed) {
    const QString ns = QString::fromLatin1(updateFeedNamespace);
    QXmlStreamReader reader(feed);
    ParsedUpdateFeed parsed;
    std::optional<ItemFields> item;
    bool sawRss = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference) {
            return std::nullopt;
        }
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            const bool ours = reader.namespaceUri() == ns;
            if (reader.namespaceUri().isEmpty() && name == QLatin1String("rss")) {
                sawRss = true;
            } else if (!item && reader.namespaceUri().isEmpty() && name == QLatin1String("item")) {
                item.emplace();
            } else if (item && ours && name == QLatin1String("version")) {
                item->version = reader.readElementText().trimmed();
            } else if (item && !ours && reader.namespaceUri().isEmpty()) {
                if (name == QLatin1String("title")) {
                    item->title = reader.readElementText().trimmed();
                } else if (name == QLatin1String("description")) {
                    item->notes = reader.readElementText().trimmed();
                } else if (name == QLatin1String("link")) {
                    item->link = reader.readElementText().trimmed();
                } else if (name == QLatin1String("enclosure")) {
                    const QXmlStreamAttributes attributes = reader.attributes();
                    item->hasEnclosure = true;
                    item->archiveUrl = attributes.value(QStringLiteral("url")).toString().trimmed();
                    item->length = attributes.value(QStringLiteral("length")).toString().trimmed();
                    item->signature = attributes.value(ns, QStringLiteral("signature")).toString();
                }
            }
        } else if (token == QXmlStreamReader::EndElement && item &&
                   reader.name() == QLatin1String("item") && reader.namespaceUri().isEmpty()) {
            auto made = makeItem(*item);
            if (auto* ready = std::get_if<UpdateItem>(&made)) {
                parsed.items.push_back(std::move(*ready));
            } else {
                parsed.skipped.append(QStringLiteral("Skipped feed item %1: %2")
                                          .arg(itemName(*item), std::get<QString>(made)));
            }
            item.reset();
        }
    }
    if (reader.hasError() || !sawRss) {
        return std::nullopt;
    }
    return parsed;
}

std::optional<UpdateItem> newestUpdate(const std::vector<UpdateItem>& items,
                                       const QString& runningVersion) {
    std::optional<UpdateItem> best;
    for (const UpdateItem& item : items) {
        if (compareUpdateVersions(item.version, runningVersion) > 0 &&
            (!best || compareUpdateVersions(item.version, best->version) > 0)) {
            best = item;
        }
    }
    return best;
}

bool verifyUpdateSignature(ByteView publicKey, ByteView bytes, const QByteArray& signatureText) {
    const auto signature = base64Decode(signatureText.trimmed().toStdString());
    return signature && std::ssize(*signature) == signatureBytes &&
           crypto::ed25519Verify(publicKey, bytes, *signature);
}

}  // namespace quillory
