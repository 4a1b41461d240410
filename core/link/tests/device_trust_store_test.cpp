#include "core/link/device_trust_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "core/link/testing/memory_trust_store.h"
#include "platform/secrets/backend_marker.h"
#include "platform/secrets/secret_service_item.h"
#include "tests/support/scratch_directory.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using testing::MemorySecret;
using testing::trustItem;

RememberedDevice deviceNamed(std::string name, std::uint8_t fill) {
    return RememberedDevice{Bytes(32, fill), std::move(name)};
}

std::shared_ptr<MemorySecret> itemHolding(const std::string& text) {
    auto item = std::make_shared<MemorySecret>();
    item->value = Bytes(text.begin(), text.end());
    return item;
}

std::string peerJSON(const RememberedDevice& device) {
    return "{\"publicKey\":\"" + base64Encode(device.publicKey) + "\",\"name\":\"" + device.name +
           "\"}";
}

TEST(DeviceTrustStore, CreatesAnIdentityOnceAndKeepsEverythingAcrossOpens) {
    auto item = std::make_shared<MemorySecret>();
    auto first = DeviceTrustStore::open(item).store;
    ASSERT_TRUE(first);
    const auto tablet = deviceNamed("Alice’s iPad", 7);
    const auto intent = Uuid::random();
    ASSERT_FALSE(first->remember(tablet));
    ASSERT_FALSE(first->recordStopped(tablet.id(), intent));
    // Remembering the same device again writes nothing.
    const int writes = item->writes;
    ASSERT_FALSE(first->remember(tablet));
    EXPECT_EQ(item->writes, writes);

    auto second = DeviceTrustStore::open(item).store;
    ASSERT_TRUE(second);
    EXPECT_EQ(second->fingerprint(), first->fingerprint());
    EXPECT_EQ(second->peers(), std::vector<RememberedDevice>{tablet});
    EXPECT_TRUE(second->isStopped(tablet.id(), intent));
    EXPECT_FALSE(second->isStopped(tablet.id(), Uuid::random()));
    // The item is the documented JSON, keys in order.
    EXPECT_EQ(item->text().rfind("{\"identity\":\"", 0), 0u);
    EXPECT_NE(item->text().find("\"peers\":[" + peerJSON(tablet) + "],\"stopped\":{\"" +
                                tablet.id() + "\":[\"" + intent.text() + "\"]}}"),
              std::string::npos);
}

TEST(DeviceTrustStore, FailedWritesLeaveTheStoreUnchanged) {
    auto item = std::make_shared<MemorySecret>();
    auto store = DeviceTrustStore::open(item).store;
    ASSERT_TRUE(store);
    const auto kept = deviceNamed("Kept", 1);
    ASSERT_FALSE(store->remember(kept));
    const auto before = item->text();

    item->failWrites = true;
    EXPECT_EQ(store->remember(deviceNamed("New", 2)), StoreError::writeFailed);
    EXPECT_EQ(store->remember(RememberedDevice{kept.publicKey, "Renamed"}),
              StoreError::writeFailed);
    EXPECT_EQ(store->forget(kept.id()), StoreError::writeFailed);
    EXPECT_EQ(store->recordStopped(kept.id(), Uuid::random()), StoreError::writeFailed);
    EXPECT_EQ(store->peers(), std::vector<RememberedDevice>{kept});
    EXPECT_FALSE(store->isStopped(kept.id(), Uuid::random()));
    EXPECT_EQ(item->text(), before);

    auto fresh = std::make_shared<MemorySecret>();
    fresh->failWrites = true;
    EXPECT_EQ(DeviceTrustStore::open(fresh).error, StoreError::writeFailed);
    // An item that cannot be read is not replaced by a new identity.
    fresh->failWrites = false;
    fresh->unavailable = true;
    EXPECT_EQ(DeviceTrustStore::open(fresh).error, StoreError::unavailable);
    EXPECT_EQ(fresh->writes, 0);
}

TEST(DeviceTrustStore, NeverOverwritesAnItemThatDoesNotDecode) {
    const Bytes seed(32, 1);
    for (const std::string& text : {
             std::string("not json"),
             std::string("{}"),
             trustItem(Bytes(31, 1)),
             trustItem(seed, R"([{"publicKey":"AAAA","name":"x"}])"),
             trustItem(seed, "[]", R"({"k":["not-a-uuid"]})"),
             trustItem(seed, "{}"),
         }) {
        auto item = itemHolding(text);
        EXPECT_EQ(DeviceTrustStore::open(item).error, StoreError::corrupt) << text;
        EXPECT_EQ(item->writes, 0) << text;
        EXPECT_EQ(item->text(), text);
    }
}

TEST(DeviceTrustStore, ForgetRemovesEveryEntryOfTheKeyAndItsStops) {
    const auto tablet = deviceNamed("Twice", 3);
    const auto other = deviceNamed("Other", 4);
    const auto intent = Uuid::random();
    auto item =
        itemHolding(trustItem(Bytes(32, 1),
                              "[" + peerJSON(tablet) + "," + peerJSON(other) + "," +
                                  peerJSON(RememberedDevice{tablet.publicKey, "Again"}) + "]",
                              "{\"" + tablet.id() + "\":[\"" + intent.text() + "\"]}"));
    auto store = DeviceTrustStore::open(item).store;
    ASSERT_TRUE(store);
    EXPECT_EQ(store->peers().size(), 3u);
    ASSERT_FALSE(store->forget(tablet.id()));
    EXPECT_EQ(store->peers(), std::vector<RememberedDevice>{other});
    EXPECT_FALSE(store->isStopped(tablet.id(), intent));
    EXPECT_EQ(DeviceTrustStore::open(item).store->peers(), std::vector<RememberedDevice>{other});
}

TEST(DeviceTrustStore, KeepsTheNewestSixteenStoppedIntents) {
    auto store = DeviceTrustStore::open(std::make_shared<MemorySecret>()).store;
    ASSERT_TRUE(store);
    const std::string key = deviceNamed("T", 5).id();
    std::vector<Uuid> intents(18);
    for (auto& intent : intents) {
        intent = Uuid::random();
        ASSERT_FALSE(store->recordStopped(key, intent));
    }
    EXPECT_FALSE(store->isStopped(key, intents[0]) || store->isStopped(key, intents[1]));
    // Recording an old intent again makes it the newest, so the next one pushes out another.
    ASSERT_FALSE(store->recordStopped(key, intents[2]));
    ASSERT_FALSE(store->recordStopped(key, Uuid::random()));
    EXPECT_FALSE(store->isStopped(key, intents[3]));
    EXPECT_TRUE(store->isStopped(key, intents[2]) && store->isStopped(key, intents[4]) &&
                store->isStopped(key, intents[17]));
}

TEST(DeviceTrustStore, SortsPeersByNameIgnoringCaseThenById) {
    auto store = DeviceTrustStore::open(std::make_shared<MemorySecret>()).store;
    ASSERT_TRUE(store);
    const auto a = deviceNamed("Alpha", 2);
    const auto b = deviceNamed("bravo", 1);
    const auto c1 = deviceNamed("Charlie", 3);
    const auto c2 = deviceNamed("charlie", 4);
    const auto e = deviceNamed("Écho", 5);
    for (const auto& device : {b, e, c2, a, c1}) {
        ASSERT_FALSE(store->remember(device));
    }
    // Same name at secondary strength: ordered by device key.
    const auto [c, cc] = std::minmax(c1, c2, [](auto& x, auto& y) { return x.id() < y.id(); });
    EXPECT_EQ(store->peers(), (std::vector<RememberedDevice>{a, b, c, cc, e}));
}

TrustStoreLocation locationIn(const fs::path& folder, const std::string& name) {
    return {"com.quillory.test." + name + "." + std::to_string(::getpid()), "identity-and-peers",
            folder / name};
}

// Round trip through a real backend, and a second identity beside the first that stays apart.
void expectIdentitiesApart(const TrustStoreLocation& host, const TrustStoreLocation& pad) {
    auto first = DeviceTrustStore::open(host).store;
    ASSERT_TRUE(first);
    ASSERT_FALSE(first->remember(deviceNamed("Tablet", 9)));
    auto other = DeviceTrustStore::open(pad).store;
    ASSERT_TRUE(other);
    EXPECT_NE(other->fingerprint(), first->fingerprint());
    EXPECT_TRUE(other->peers().empty());
    auto again = DeviceTrustStore::open(host).store;
    ASSERT_TRUE(again);
    EXPECT_EQ(again->fingerprint(), first->fingerprint());
    EXPECT_EQ(again->peers().size(), 1u);
}

TEST(DeviceTrustStore, FileBackendIsPrivateAndLeavesACorruptFileAlone) {
    ScratchDirectory folder;
    const auto host = locationIn(folder.path(), "host");
    const auto pad = locationIn(folder.path(), "pad");
    ASSERT_TRUE(writeBackendMarker(host.folder / "trust-backend", SecretBackend::file));
    ASSERT_TRUE(writeBackendMarker(pad.folder / "trust-backend", SecretBackend::file));
    expectIdentitiesApart(host, pad);
    const auto file = host.folder / "device-trust.json";
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    std::ofstream(file) << "{";
    EXPECT_EQ(DeviceTrustStore::open(host).error, StoreError::corrupt);
    std::ifstream stream(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stream), {}), "{");
}

TEST(DeviceTrustStore, SecretServiceBackendIsChosenWhenItAnswers) {
    if (probeSecretService(2.0) != SecretServiceState::unlocked) {
        GTEST_SKIP() << "no unlocked Secret Service answers on the session bus";
    }
    ScratchDirectory folder;
    const auto host = locationIn(folder.path(), "host");
    expectIdentitiesApart(host, locationIn(folder.path(), "pad"));
    EXPECT_EQ(readBackendMarker(host.folder / "trust-backend").backend,
              SecretBackend::secretService);
    EXPECT_FALSE(fs::exists(host.folder / "device-trust.json"));
}

TEST(LockedKeyring, TrustStoreIsUnavailableInTimeAndWritesNothing) {
    if (!std::getenv("QUILLORY_EXPECT_LOCKED_KEYRING")) {
        GTEST_SKIP() << "needs a locked keyring";
    }
    ScratchDirectory folder;
    const TrustStoreLocation fresh{"com.quillory.test.locked", "identity-and-peers",
                                   folder.path() / "fresh"};
    const TrustStoreLocation marked{"com.quillory.test.locked", "identity-and-peers",
                                    folder.path() / "marked"};
    ASSERT_TRUE(writeBackendMarker(marked.folder / "trust-backend", SecretBackend::secretService));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(DeviceTrustStore::open(fresh, 1.0).error, StoreError::unavailable);
    EXPECT_EQ(DeviceTrustStore::open(marked, 1.0).error, StoreError::unavailable);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed.count(), 5.0);
    // Never falls back to a file: that would be a second identity.
    EXPECT_FALSE(fs::exists(fresh.folder / "device-trust.json"));
    EXPECT_FALSE(fs::exists(marked.folder / "device-trust.json"));
    EXPECT_FALSE(fs::exists(fresh.folder / "trust-backend"));
}

}  // namespace
}  // namespace quillory
