#include "platform/secrets/secret_service_item.h"

#include <libsecret/secret.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace quillory {

namespace {

const SecretSchema& genericSchema() {
    static const SecretSchema schema = {
        "com.quillory.GenericSecret",
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
    };
    return schema;
}

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const {
        if (object) {
            g_object_unref(object);
        }
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct GErrorHolder {
    GError* error = nullptr;
    ~GErrorHolder() {
        if (error) {
            g_error_free(error);
        }
    }
};

// Runs body on its own thread; at the deadline cancels it and waits for it to notice, so no
// thread outlives the call and a hung service never blocks the caller for long.
template <typename T>
std::pair<T, bool> runWithDeadline(double seconds, const std::function<T(GCancellable*)>& body) {
    GObjectPtr<GCancellable> cancellable(g_cancellable_new());
    std::promise<T> promise;
    auto future = promise.get_future();
    std::thread worker([&] { promise.set_value(body(cancellable.get())); });
    const auto deadline = std::chrono::nanoseconds(static_cast<std::int64_t>(seconds * 1e9));
    const bool inTime = future.wait_for(deadline) == std::future_status::ready;
    if (!inTime) {
        g_cancellable_cancel(cancellable.get());
    }
    worker.join();
    return {future.get(), inTime};
}

SecretServiceState probe(GCancellable* cancellable) {
    GErrorHolder error;
    GObjectPtr<SecretService> service(
        secret_service_get_sync(static_cast<SecretServiceFlags>(SECRET_SERVICE_OPEN_SESSION |
                                                                SECRET_SERVICE_LOAD_COLLECTIONS),
                                cancellable, &error.error));
    if (!service) {
        return g_cancellable_is_cancelled(cancellable) ? SecretServiceState::timedOut
                                                       : SecretServiceState::absent;
    }
    GObjectPtr<SecretCollection> collection(
        secret_collection_for_alias_sync(service.get(), SECRET_COLLECTION_DEFAULT,
                                         SECRET_COLLECTION_NONE, cancellable, &error.error));
    if (!collection) {
        return g_cancellable_is_cancelled(cancellable) ? SecretServiceState::timedOut
                                                       : SecretServiceState::locked;
    }
    return secret_collection_get_locked(collection.get()) ? SecretServiceState::locked
                                                          : SecretServiceState::unlocked;
}

struct Attributes {
    Attributes(const std::string& service, const std::string& account)
        : table(g_hash_table_new(g_str_hash, g_str_equal)) {
        g_hash_table_insert(table, const_cast<char*>("service"),
                            const_cast<char*>(service.c_str()));
        g_hash_table_insert(table, const_cast<char*>("account"),
                            const_cast<char*>(account.c_str()));
    }
    ~Attributes() { g_hash_table_unref(table); }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;
    GHashTable* table;
};

}  // namespace

SecretServiceState probeSecretService(double deadlineSeconds) {
    const auto [state, inTime] = runWithDeadline<SecretServiceState>(deadlineSeconds, probe);
    return inTime ? state : SecretServiceState::timedOut;
}

SecretServiceItem::SecretServiceItem(std::string service, std::string account, std::string label,
                                     double deadlineSeconds)
    : service_(std::move(service)),
      account_(std::move(account)),
      label_(std::move(label)),
      deadlineSeconds_(deadlineSeconds) {}

SecretRead SecretServiceItem::read() {
    auto body = [this](GCancellable* cancellable) -> SecretRead {
        GErrorHolder error;
        GObjectPtr<SecretService> service(
            secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, &error.error));
        if (!service) {
            return {SecretStatus::unavailable, {}};
        }
        Attributes attributes(service_, account_);
        // No SECRET_SEARCH_UNLOCK: a locked item must not raise a prompt.
        GList* items = secret_service_search_sync(
            service.get(), &genericSchema(), attributes.table,
            static_cast<SecretSearchFlags>(SECRET_SEARCH_LOAD_SECRETS | SECRET_SEARCH_ALL),
            cancellable, &error.error);
        if (error.error) {
            return {SecretStatus::unavailable, {}};
        }
        SecretRead result{SecretStatus::notFound, {}};
        if (items) {
            auto* item = static_cast<SecretItem*>(items->data);
            SecretValue* value = secret_item_get_secret(item);
            if (secret_item_get_locked(item) || !value) {
                result.status = SecretStatus::unavailable;
            } else {
                gsize length = 0;
                const gchar* data = secret_value_get(value, &length);
                result.status = SecretStatus::ok;
                result.value.assign(data, data + length);
            }
            if (value) {
                secret_value_unref(value);
            }
        }
        g_list_free_full(items, g_object_unref);
        return result;
    };
    const auto [result, inTime] = runWithDeadline<SecretRead>(deadlineSeconds_, body);
    return inTime ? result : SecretRead{SecretStatus::unavailable, {}};
}

SecretStatus SecretServiceItem::add(ByteView value) {
    return store(value);
}

SecretStatus SecretServiceItem::update(ByteView value) {
    return store(value);
}

SecretStatus SecretServiceItem::store(ByteView value) {
    auto body = [this, value](GCancellable* cancellable) -> SecretStatus {
        // Storing into a locked collection would ask the user to unlock it.
        if (probe(cancellable) != SecretServiceState::unlocked) {
            return SecretStatus::unavailable;
        }
        GErrorHolder error;
        GObjectPtr<SecretService> service(
            secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, &error.error));
        if (!service) {
            return SecretStatus::unavailable;
        }
        Attributes attributes(service_, account_);
        SecretValue* secret = secret_value_new(reinterpret_cast<const gchar*>(value.data()),
                                               static_cast<gssize>(value.size()), "text/plain");
        const gboolean stored = secret_service_store_sync(
            service.get(), &genericSchema(), attributes.table, SECRET_COLLECTION_DEFAULT,
            label_.c_str(), secret, cancellable, &error.error);
        secret_value_unref(secret);
        return stored ? SecretStatus::ok : SecretStatus::writeFailed;
    };
    const auto [status, inTime] = runWithDeadline<SecretStatus>(deadlineSeconds_, body);
    return inTime ? status : SecretStatus::unavailable;
}

std::string SecretServiceItem::location() const {
    return "Secret Service item (service \"" + service_ + "\", account \"" + account_ + "\")";
}

}  // namespace quillory
