#include "platform/Keyring.h"

#include <libsecret/secret.h>

#include <memory>

// The desktop's keyring through the Secret Service (GNOME Keyring or another
// program that offers it) on the desktop's D-Bus, with libsecret. Each call runs on a
// main context of its own and is cancelled when the service has not answered
// in time: a desktop bus that accepts and then says nothing must not hold up
// an upload.

namespace vidlume::platform {

namespace {

constexpr guint keyringWaitMs = 5000;
// What a cancelled call may still take to come back before it is given up on.
constexpr guint cancelGraceMs = 1000;

const SecretSchema* uploadSchema()
{
    static const SecretSchema schema = {
        "org.norvane.Vidlume.Upload",
        SECRET_SCHEMA_NONE,
        {
            {"protocol", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"host", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"port", SECRET_SCHEMA_ATTRIBUTE_INTEGER},
            {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &schema;
}

struct HashTableUnref
{
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using Attributes = std::unique_ptr<GHashTable, HashTableUnref>;

/// The attributes that find key's item; the port as its decimal text, as
/// libsecret takes integers in a table.
Attributes attributesOf(const KeyringKey& key)
{
    Attributes table(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free));
    g_hash_table_insert(table.get(), g_strdup("protocol"), g_strdup(key.protocol.c_str()));
    g_hash_table_insert(table.get(), g_strdup("host"), g_strdup(key.host.c_str()));
    g_hash_table_insert(table.get(), g_strdup("port"), g_strdup(std::to_string(key.port).c_str()));
    g_hash_table_insert(table.get(), g_strdup("user"), g_strdup(key.user.c_str()));
    return table;
}

/// One asynchronous call of libsecret, waited for on a main context of this
/// thread's own: start it with cancellable() and finished as its callback and
/// this as its data, then wait().
class BoundedCall
{
public:
    BoundedCall() : m_context(g_main_context_new()), m_cancellable(g_cancellable_new())
    {
        g_main_context_push_thread_default(m_context);
    }
    ~BoundedCall()
    {
        if (m_result)
            g_object_unref(m_result);
        g_main_context_pop_thread_default(m_context);
        g_object_unref(m_cancellable);
        g_main_context_unref(m_context);
    }
    BoundedCall(const BoundedCall&) = delete;
    BoundedCall& operator=(const BoundedCall&) = delete;

    GCancellable* cancellable() const { return m_cancellable; }

    static void finished(GObject*, GAsyncResult* result, gpointer self)
    {
        static_cast<BoundedCall*>(self)->m_result = G_ASYNC_RESULT(g_object_ref(result));
    }

    /// The call's result; nothing when it did not come back even after being
    /// cancelled (its callback then never runs: nothing iterates the context
    /// any more).
    GAsyncResult* wait()
    {
        GSource* timer = g_timeout_source_new(keyringWaitMs);
        g_source_set_callback(timer, &BoundedCall::cancel, this, nullptr);
        g_source_attach(timer, m_context);
        while (!m_result && !m_givenUp)
            g_main_context_iteration(m_context, TRUE);
        g_source_destroy(timer);
        g_source_unref(timer);
        if (m_grace) {
            g_source_destroy(m_grace);
            g_source_unref(m_grace);
        }
        return m_result;
    }

private:
    static gboolean cancel(gpointer self)
    {
        auto* call = static_cast<BoundedCall*>(self);
        g_cancellable_cancel(call->m_cancellable);
        call->m_grace = g_timeout_source_new(cancelGraceMs);
        g_source_set_callback(call->m_grace, &BoundedCall::giveUp, call, nullptr);
        g_source_attach(call->m_grace, call->m_context);
        return G_SOURCE_REMOVE;
    }
    static gboolean giveUp(gpointer self)
    {
        static_cast<BoundedCall*>(self)->m_givenUp = true;
        return G_SOURCE_REMOVE;
    }

    GMainContext* m_context;
    GCancellable* m_cancellable;
    GSource* m_grace = nullptr;
    GAsyncResult* m_result = nullptr;
    bool m_givenUp = false;
};

/// GLib ends the process when the desktop bus it shares closes; a bus that
/// goes away during an upload must not stop the upload. Called once the bus
/// has answered, so that the shared connection exists and is handed over at once.
void keepRunningWhenTheBusCloses()
{
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        g_dbus_connection_set_exit_on_close(bus, FALSE);
        g_object_unref(bus);
    }
}

/// What went wrong, for the user; error is freed.
std::string explain(GError* error, const BoundedCall& call)
{
    std::string text;
    if (g_cancellable_is_cancelled(call.cancellable()))
        text = "the desktop's keyring did not answer within " + std::to_string(keyringWaitMs / 1000) + " seconds";
    else if (error)
        text = std::string("the desktop's keyring cannot be reached: ") + error->message;
    else
        text = "the desktop's keyring did not answer";
    if (error)
        g_error_free(error);
    return text;
}

} // namespace

std::optional<std::string> findUploadPassword(const KeyringKey& key)
{
    const Attributes attributes = attributesOf(key);
    BoundedCall call;
    secret_password_lookupv(uploadSchema(), attributes.get(), call.cancellable(), &BoundedCall::finished, &call);
    GAsyncResult* result = call.wait();
    if (!result)
        return std::nullopt;
    GError* error = nullptr;
    gchar* found = secret_password_lookup_finish(result, &error);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    keepRunningWhenTheBusCloses(); // the bus answered: its connection is there
    if (!found)
        return std::nullopt;
    std::string password(found);
    secret_password_free(found); // wipes it
    return password;
}

bool storeUploadPassword(const KeyringKey& key, const std::string& secret, std::string& error)
{
    const Attributes attributes = attributesOf(key);
    BoundedCall call;
    secret_password_storev(uploadSchema(), attributes.get(), SECRET_COLLECTION_DEFAULT, keyringLabel(key).c_str(),
                           secret.c_str(), call.cancellable(), &BoundedCall::finished, &call);
    GAsyncResult* result = call.wait();
    GError* failure = nullptr;
    if (result && secret_password_store_finish(result, &failure))
        return true;
    error = "Cannot keep the password: " + explain(failure, call);
    return false;
}

bool forgetUploadPassword(const KeyringKey& key, std::string& error)
{
    const Attributes attributes = attributesOf(key);
    BoundedCall call;
    secret_password_clearv(uploadSchema(), attributes.get(), call.cancellable(), &BoundedCall::finished, &call);
    GAsyncResult* result = call.wait();
    GError* failure = nullptr;
    if (result) {
        secret_password_clear_finish(result, &failure); // false also when nothing was kept
        if (!failure)
            return true;
    }
    error = "Cannot forget the password: " + explain(failure, call);
    return false;
}

} // namespace vidlume::platform
