#include "DefaultApps.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <unistd.h>

#include <memory>

namespace qv {

namespace {

struct GObjectFree {
    void operator()(gpointer object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectFree>;

struct KeyFileFree {
    void operator()(GKeyFile* file) const { g_key_file_unref(file); }
};

// The message of a GError, which is freed.
std::string Take(GError* error, const char* otherwise) {
    if (!error)
        return otherwise;
    std::string text = error->message;
    g_error_free(error);
    return text;
}

struct Launch {
    const char* Directory = nullptr;
    pid_t Process = -1;
};

// Runs in the child between fork and exec: only async-signal-safe calls.
void EnterDirectory(gpointer data) {
    const auto* launch = static_cast<const Launch*>(data);
    if (launch->Directory && chdir(launch->Directory) != 0) {
        // The application starts in the program's own folder instead.
    }
}

void Started(GDesktopAppInfo*, GPid pid, gpointer data) {
    static_cast<Launch*>(data)->Process = pid;
}

} // namespace

pid_t OpenInDefaultApplication(const std::string& file, const std::string& directory,
                               std::string& error) {
    GPtr<GFile> target(g_file_new_for_path(file.c_str()));
    GError* failure = nullptr;
    GPtr<GFileInfo> info(g_file_query_info(target.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                           G_FILE_QUERY_INFO_NONE, nullptr, &failure));
    if (!info) {
        error = Take(failure, "the file cannot be read");
        return -1;
    }
    const char* type = g_file_info_get_content_type(info.get());
    GPtr<GAppInfo> application(type ? g_app_info_get_default_for_type(type, FALSE) : nullptr);
    if (!application || !G_IS_DESKTOP_APP_INFO(application.get())) {
        error = std::string("no application is set to open files of the type ") +
                (type ? type : "unknown");
        return -1;
    }

    // The application's own entry without D-Bus activation, which would hand the file to the
    // application without a process of ours to watch.
    const char* entry = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(application.get()));
    std::unique_ptr<GKeyFile, KeyFileFree> keys(g_key_file_new());
    if (!entry ||
        !g_key_file_load_from_file(keys.get(), entry, G_KEY_FILE_KEEP_TRANSLATIONS, &failure)) {
        error = Take(failure, "the application's desktop entry cannot be read");
        return -1;
    }
    g_key_file_remove_key(keys.get(), G_KEY_FILE_DESKTOP_GROUP, "DBusActivatable", nullptr);
    const bool ownFolder = g_key_file_has_key(keys.get(), G_KEY_FILE_DESKTOP_GROUP,
                                              G_KEY_FILE_DESKTOP_KEY_PATH, nullptr);
    GPtr<GDesktopAppInfo> spawnable(g_desktop_app_info_new_from_keyfile(keys.get()));
    if (!spawnable) {
        error = "the application's desktop entry cannot be started";
        return -1;
    }

    char* address = g_file_get_uri(target.get());
    GList* uris = g_list_append(nullptr, address);
    Launch launch;
    launch.Directory = ownFolder || directory.empty() ? nullptr : directory.c_str();
    const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
    const gboolean ok = g_desktop_app_info_launch_uris_as_manager(
        spawnable.get(), uris, nullptr, flags, EnterDirectory, &launch, Started, &launch, &failure);
    g_list_free(uris);
    g_free(address);
    if (!ok) {
        error = Take(failure, "the application cannot be started");
        return -1;
    }
    if (launch.Process <= 0) {
        error = "the application was started without a process to watch";
        return -1;
    }
    return launch.Process;
}

} // namespace qv
