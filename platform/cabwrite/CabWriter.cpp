#include "CabWriter.h"

#include <gio/gio.h>
#include <libgcab.h>
#include <memory>

namespace quorvel {

namespace {

template <typename T> struct TUnref {
    void operator()(T* object) const { g_object_unref(object); }
};
template <typename T> using TRef = std::unique_ptr<T, TUnref<T>>;

bool Fail(GError* failure, std::string* error, const std::string& fallback) {
    if (error)
        *error = failure ? failure->message : fallback;
    if (failure)
        g_error_free(failure);
    return false;
}

} // namespace

bool CabWriter::Write(const std::string& path, const std::vector<TEntry>& entries, std::string* error) {
    const TRef<GCabCabinet> cabinet(gcab_cabinet_new());
    // A folder holds at most 65535 blocks of 32 KiB; it is the cabinet's.
    GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_MSZIP);
    GError* failure = nullptr;
    if (!gcab_cabinet_add_folder(cabinet.get(), folder, &failure)) {
        g_object_unref(folder);
        return Fail(failure, error, "cannot add a folder");
    }
    g_object_unref(folder);
    for (const TEntry& entry : entries) {
        const TRef<GFile> source(g_file_new_for_path(entry.path.c_str()));
        const TRef<GCabFile> file(gcab_file_new_with_file(entry.name.c_str(), source.get()));
        if (!gcab_folder_add_file(folder, file.get(), FALSE, nullptr, &failure))
            return Fail(failure, error, "cannot add " + entry.name);
    }
    const TRef<GFile> target(g_file_new_for_path(path.c_str()));
    const TRef<GFileOutputStream> output(
        g_file_replace(target.get(), nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &failure));
    if (!output)
        return Fail(failure, error, "cannot create " + path);
    const bool written = gcab_cabinet_write_simple(cabinet.get(), G_OUTPUT_STREAM(output.get()), nullptr,
                                                   nullptr, nullptr, &failure);
    const bool closed = written && g_output_stream_close(G_OUTPUT_STREAM(output.get()), nullptr, &failure);
    if (!written || !closed) {
        g_file_delete(target.get(), nullptr, nullptr);
        return Fail(failure, error, "cannot write " + path);
    }
    return true;
}

} // namespace quorvel
