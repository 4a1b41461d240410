#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <vector>

#include "platform/crypto/crypto.h"

namespace quillory {

// One release offered by the update feed.
struct UpdateItem {
    QString title;
    // Plain text, never markup: it comes from the network.
    QString notes;
    QString version;
    // The https page for a manual download.
    QUrl link;
    QUrl archiveUrl;
    qint64 length = 0;
    // Ed25519 over the archive's bytes.
    Bytes signature;
};

// The namespace of the feed's own elements and attributes.
inline constexpr const char* updateFeedNamespace = "urn:quillory:update:1";

// Dotted decimal numbers, nothing else ("1", "1.10.2").
bool isUpdateVersion(const QString& version);

// Negative, zero or positive as `a` is below, equal to or above `b`; numbers compared one by
// one with missing parts as 0, so 1.10 > 1.9 and 1.0 = 1.0.0. Both must be update versions.
int compareUpdateVersions(const QString& a, const QString& b);

struct ParsedUpdateFeed {
    std::vector<UpdateItem> items;
    // One line per item left out, for the log.
    QStringList skipped;
};

// The items of an RSS 2.0 feed. Malformed XML (a DTD included) gives nothing; items with
// another version form, a non-https address or a signature that is not 64 bytes are skipped.
std::optional<ParsedUpdateFeed> parseUpdateFeed(const QByteArray& feed);

// The highest version above `runningVersion`, if any.
std::optional<UpdateItem> newestUpdate(const std::vector<UpdateItem>& items,
                                       const QString& runningVersion);

// Whether `signatureText` (base64, surrounding white space allowed) is the key's Ed25519
// signature of `bytes`.
bool verifyUpdateSignature(ByteView publicKey, ByteView bytes, const QByteArray& signatureText);

}  // namespace quillory
