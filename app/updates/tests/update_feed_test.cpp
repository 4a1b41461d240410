#include "app/updates/update_feed.h"

#include <gtest/gtest.h>

#include "protocol/base64.h"

namespace quillory {
namespace {

TEST(UpdateVersionTest, ComparesNumberByNumber) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"1.10", "1.9", 1},  {"1.0", "1.0.1", -1}, {"1.0", "1.0.0", 0},
        {"2", "1.99.99", 1}, {"0.1.0", "0.1", 0},  {"10.0", "9.9", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareUpdateVersions(QString::fromLatin1(c.a), QString::fromLatin1(c.b)),
                  c.order)
            << c.a << " vs " << c.b;
    }
}

TEST(UpdateVersionTest, AcceptsOnlyDottedNumbers) {
    for (const char* good : {"1", "0.1.0", "12.345.6789"}) {
        EXPECT_TRUE(isUpdateVersion(QString::fromLatin1(good))) << good;
    }
    for (const char* bad : {"", "1.", ".1", "1..2", "v1.0", "1.0-beta", "1 .0", "1234567890"}) {
        EXPECT_FALSE(isUpdateVersion(QString::fromLatin1(bad))) << bad;
    }
}

QByteArray item(const QByteArray& version, const QByteArray& url, const QByteArray& signature) {
    return "<item><title>Quillory " + version +
           "</title><description>Fixes &lt;b&gt;</description>"
           "<link>https://example.org/download</link><q:version>" +
           version + "</q:version><enclosure url=\"" + url + "\" length=\"10\" q:signature=\"" +
           signature + "\"/></item>";
}

QByteArray feed(const QByteArray& items) {
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:q=\"urn:quillory:update:1\">"
           "<channel><title>Quillory</title>" +
           items + "</channel></rss>";
}

TEST(UpdateFeedTest, KeepsWellFormedItemsAndSkipsTheRest) {
    const QByteArray signature = QByteArray::fromStdString(base64Encode(Bytes(64, 7)));
    const QByteArray shortSignature = QByteArray::fromStdString(base64Encode(Bytes(63, 7)));
    const auto parsed =
        parseUpdateFeed(feed(item("1.2", "https://example.org/a.tar.gz", signature) +
                             item("1.3-beta", "https://example.org/b.tar.gz", signature) +
                             item("1.4", "http://example.org/c.tar.gz", signature) +
                             item("1.5", "https://example.org/d.tar.gz", shortSignature) +
                             item("1.6", "https://example.org/e.tar.gz", "not base64!")));
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->items.size(), 1u);
    EXPECT_EQ(parsed->items[0].version, "1.2");
    EXPECT_EQ(parsed->items[0].notes, "Fixes <b>");
    EXPECT_EQ(parsed->items[0].length, 10);
    EXPECT_EQ(parsed->items[0].signature, Bytes(64, 7));
    EXPECT_EQ(parsed->skipped.size(), 4);
}

TEST(UpdateFeedTest, MalformedFeedsGiveNothing) {
    const QByteArray good = feed(item("1.2", "https://example.org/a", "x"));
    for (const QByteArray& bad : {
             good.left(good.size() / 2),
             QByteArray("<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY x \"y\">]>") +
                 good.mid(good.indexOf("<rss")),
             QByteArray("<html/>"),
             QByteArray(),
         }) {
        EXPECT_FALSE(parseUpdateFeed(bad)) << bad.constData();
    }
}

TEST(UpdateFeedTest, NewestPicksTheHighestAboveTheRunningVersion) {
    std::vector<UpdateItem> items(3);
    items[0].version = "1.9";
    items[1].version = "1.10";
    items[2].version = "1.0.0";
    EXPECT_EQ(newestUpdate(items, "1.0")->version, "1.10");
    EXPECT_FALSE(newestUpdate(items, "1.10.0"));
    EXPECT_FALSE(newestUpdate({}, "0.1"));
}

}  // namespace
}  // namespace quillory
