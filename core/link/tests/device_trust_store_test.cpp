#include "core/link/device_trust_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "core/link/tests/memory_secret.h"
#include "platform/secrets/backend_marker.h"
#include "platform/secrets/secret_service_item.h"
#include "protocol/base64.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using testing::MemorySecret;

RememberedDevice deviceNamed(std::string name, std::uint8_t fill) {
    return RememberedDevice{Bytes(32, fill), std::move(name)};
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "quillory-trust-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

TEST(DeviceTrustStore, CreatesAnIdentityOnceAndKeepsEverythingAcrossOpens) {
    auto item = std::make_shared<MemorySecret>();
    auto first = DeviceTrustStore::open(item);
    ASSERT_TRUE(first.store);
    const auto fingerprint = first.store->fingerprint();
    EXPECT_EQ(fingerprint.size(), 64u);
    EXPECT_EQ(fingerprint, hexString(crypto::sha256(first.store->identityPublicKey())));

    const auto tablet = deviceNamed("Alice’s iPad", 7);
    const auto intent = Uuid::random();
    ASSERT_FALSE(first.store->remember(tablet));
    ASSERT_FALSE(first.store->recordStopped(tablet.id(), intent));
    // Remembering the same device again writes nothing.
    const int writes = item->writes;
    ASSERT_FALSE(first.store->remember(tablet));
    EXPECT_EQ(item->writes, writes);

    auto second = DeviceTrustStore::open(item);
    ASSERT_TRUE(second.store);
    EXPECT_EQ(second.store->fingerprint(), fingerprint);
    EXPECT_EQ(second.store->peers(), std::vector<RememberedDevice>{tablet});
    EXPECT_TRUE(second.store->isStopped(tablet.id(), intent));
    EXPECT_FALSE(second.store->isStopped(tablet.id(), Uuid::random()));
    EXPECT_EQ(second.store->device(tablet.id()), tablet);
    const auto message = bytesOf("signed");
    const auto signature = second.store->sign(message);
    EXPECT_TRUE(crypto::ed25519Verify(second.store->identityPublicKey(), message, signature));
    // The item is the documented JSON, keys in order.
    EXPECT_EQ(item->text().rfind("{\"identity\":\"", 0), 0u);
    EXPECT_NE(item->text().find("\"peers\":[{\"publicKey\":\"" + base64Encode(tablet.publicKey) +
                                "\",\"name\":\"Alice’s iPad\"}],\"stopped\":{\"" + tablet.id() +
                                "\":[\"" + intent.text() + "\"]}}"),
              std::string::npos);
}

TEST(DeviceTrustStore, FailedWritesLeaveTheStoreUnchanged) {
    auto item = std::make_shared<MemorySecret>();
    auto opened = DeviceTrustStore::open(item);
    ASSERT_TRUE(opened.store);
    auto& store = *opened.store;
    const auto kept = deviceNamed("Kept", 1);
    ASSERT_FALSE(store.remember(kept));
    const auto before = item->text();

    item->failWrites = true;
    EXPECT_EQ(store.remember(deviceNamed("New", 2)), StoreError::writeFailed);
    EXPECT_EQ(store.remember(RememberedDevice{kept.publicKey, "Renamed"}), StoreError::writeFailed);
    EXPECT_EQ(store.forget(kept.id()), StoreError::writeFailed);
    EXPECT_EQ(store.recordStopped(kept.id(), Uuid::random()), StoreError::writeFailed);
    EXPECT_EQ(store.peers(), std::vector<RememberedDevice>{kept});
    EXPECT_FALSE(store.isStopped(kept.id(), Uuid::random()));
    EXPECT_EQ(item->text(), before);

    auto failing = std::make_shared<MemorySecret>();
    failing->failWrites = true;
    EXPECT_EQ(DeviceTrustStore::open(failing).error, StoreError::writeFailed);
    auto unreadable = std::make_shared<MemorySecret>();
    unreadable->unavailable = true;
    EXPECT_EQ(DeviceTrustStore::open(unreadable).error, StoreError::unavailable);
    EXPECT_EQ(unreadable->writes, 0);
}

TEST(DeviceTrustStore, NeverOverwritesAnItemThatDoesNotDecode) {
    const std::string seed = base64Encode(Bytes(32, 1));
    for (const std::string& text : std::vector<std::string>{
             std::string("not json"),
             std::string("{}"),
             "{\"identity\":\"" + base64Encode(Bytes(31, 1)) + "\"}",
             "{\"identity\":\"" + seed + "\",\"peers\":[{\"publicKey\":\"AAAA\",\"name\":\"x\"}]}",
             "{\"identity\":\"" + seed + "\",\"stopped\":{\"k\":[\"not-a-uuid\"]}}",
             "{\"identity\":\"" + seed + "\",\"peers\":{}}",
         }) {
        auto item = std::make_shared<MemorySecret>();
        item->value = bytesOf(text);
        EXPECT_EQ(DeviceTrustStore::open(item).error, StoreError::corrupt) << text;
        EXPECT_EQ(item->writes, 0) << text;
        EXPECT_EQ(item->text(), text);
    }
}

TEST(DeviceTrustStore, ForgetRemovesEveryEntryOfTheKeyAndItsStops) {
    auto item = std::make_shared<MemorySecret>();
    const auto tablet = deviceNamed("Twice", 3);
    const auto other = deviceNamed("Other", 4);
    const auto intent = Uuid::random();
    item->value = bytesOf(
        "{\"identity\":\"" + base64Encode(Bytes(32, 1)) + "\",\"peers\":[{\"publicKey\":\"" +
        base64Encode(tablet.publicKey) + "\",\"name\":\"Twice\"},{\"publicKey\":\"" +
        base64Encode(other.publicKey) + "\",\"name\":\"Other\"},{\"publicKey\":\"" +
        base64Encode(tablet.publicKey) + "\",\"name\":\"Again\"}],\"stopped\":{\"" + tablet.id() +
        "\":[\"" + intent.text() + "\"]}}");
    auto opened = DeviceTrustStore::open(item);
    ASSERT_TRUE(opened.store);
    EXPECT_EQ(opened.store->peers().size(), 3u);
    ASSERT_FALSE(opened.store->forget(tablet.id()));
    EXPECT_EQ(opened.store->peers(), std::vector<RememberedDevice>{other});
    EXPECT_FALSE(opened.store->isStopped(tablet.id(), intent));
    EXPECT_EQ(DeviceTrustStore::open(item).store->peers(), std::vector<RememberedDevice>{other});
}

TEST(DeviceTrustStore, KeepsTheNewestSixteenStoppedIntents) {
    auto opened = DeviceTrustStore::open(std::make_shared<MemorySecret>());
    ASSERT_TRUE(opened.store);
    const std::string key = deviceNamed("T", 5).id();
    std::vector<Uuid> intents;
    for (int index = 0; index < 18; ++index) {
        intents.push_back(Uuid::random());
        ASSERT_FALSE(opened.store->recordStopped(key, intents.back()));
    }
    EXPECT_FALSE(opened.store->isStopped(key, intents[0]));
    EXPECT_FALSE(opened.store->isStopped(key, intents[1]));
    // Recording an old intent again makes it the newest, so the next one pushes out another.
    ASSERT_FALSE(opened.store->recordStopped(key, intents[2]));
    ASSERT_FALSE(opened.store->recordStopped(key, Uuid::random()));
    EXPECT_FALSE(opened.store->isStopped(key, intents[3]));
    EXPECT_TRUE(opened.store->isStopped(key, intents[2]));
    EXPECT_TRUE(opened.store->isStopped(key, intents[4]));
    EXPECT_TRUE(opened.store->isStopped(key, intents[17]));
}

TEST(DeviceTrustStore, SortsPeersByNameIgnoringCaseThenById) {
    auto opened = DeviceTrustStore::open(std::make_shared<MemorySecret>());
    ASSERT_TRUE(opened.store);
    const auto b = deviceNamed("bravo", 1);
    const auto a = deviceNamed("Alpha", 2);
    const auto c1 = deviceNamed("Charlie", 3);
    const auto c2 = deviceNamed("charlie", 4);
    const auto e = deviceNamed("Écho", 5);
    for (const auto& device : {b, e, c2, a, c1}) {
        ASSERT_FALSE(opened.store->remember(device));
    }
    const auto peers = opened.store->peers();
    ASSERT_EQ(peers.size(), 5u);
    EXPECT_EQ(peers[0], a);
    EXPECT_EQ(peers[1], b);
    // Same name at secondary strength: ordered by device key.
    EXPECT_EQ(peers[2].id(), std::min(c1.id(), c2.id()));
    EXPECT_EQ(peers[3].id(), std::max(c1.id(), c2.id()));
    EXPECT_EQ(peers[4], e);
}

TEST(DeviceTrustStore, FileBackendIsPrivateRememberedAndSeparatePerIdentity) {
    TemporaryFolder folder;
    const TrustStoreLocation host{"com.quillory.test.host", "identity-and-peers",
                                  folder.path() / "host"};
    const TrustStoreLocation pad{"com.quillory.test.pad", "identity-and-peers",
                                 folder.path() / "pad"};
    ASSERT_TRUE(writeBackendMarker(host.folder / "trust-backend", SecretBackend::file));
    ASSERT_TRUE(writeBackendMarker(pad.folder / "trust-backend", SecretBackend::file));
    auto first = DeviceTrustStore::open(host);
    ASSERT_TRUE(first.store);
    ASSERT_FALSE(first.store->remember(deviceNamed("Tablet", 9)));
    auto other = DeviceTrustStore::open(pad);
    ASSERT_TRUE(other.store);
    EXPECT_NE(other.store->fingerprint(), first.store->fingerprint());
    EXPECT_TRUE(other.store->peers().empty());

    const auto file = host.folder / "device-trust.json";
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    auto again = DeviceTrustStore::open(host);
    ASSERT_TRUE(again.store);
    EXPECT_EQ(again.store->fingerprint(), first.store->fingerprint());
    EXPECT_EQ(again.store->peers().size(), 1u);

    // A corrupt file is reported and left alone.
    std::ofstream(file) << "{";
    EXPECT_EQ(DeviceTrustStore::open(host).error, StoreError::corrupt);
    std::ifstream stream(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stream), {}), "{");
}

TEST(DeviceTrustStore, SecretServiceBackendRoundTripsAndKeepsIdentitiesApart) {
    if (probeSecretService(2.0) != SecretServiceState::unlocked) {
        GTEST_SKIP() << "no unlocked Secret Service answers on the session bus";
    }
    TemporaryFolder folder;
    const auto suffix = std::to_string(::getpid());
    const TrustStoreLocation host{"com.quillory.test.host." + suffix, "identity-and-peers",
                                  folder.path() / "host"};
    const TrustStoreLocation pad{"com.quillory.test.pad." + suffix, "identity-and-peers",
                                 folder.path() / "pad"};
    auto first = DeviceTrustStore::open(host);
    ASSERT_TRUE(first.store);
    EXPECT_EQ(readBackendMarker(host.folder / "trust-backend").backend,
              SecretBackend::secretService);
    EXPECT_FALSE(fs::exists(host.folder / "device-trust.json"));
    ASSERT_FALSE(first.store->remember(deviceNamed("Tablet", 9)));
    auto other = DeviceTrustStore::open(pad);
    ASSERT_TRUE(other.store);
    EXPECT_NE(other.store->fingerprint(), first.store->fingerprint());
    auto again = DeviceTrustStore::open(host);
    ASSERT_TRUE(again.store);
    EXPECT_EQ(again.store->fingerprint(), first.store->fingerprint());
    EXPECT_EQ(again.store->peers().size(), 1u);
}

TEST(LockedKeyring, TrustStoreIsUnavailableInTimeAndWritesNothing) {
    if (!std::getenv("QUILLORY_EXPECT_LOCKED_KEYRING")) {
        GTEST_SKIP() << "needs a locked keyring";
    }
    TemporaryFolder folder;
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
