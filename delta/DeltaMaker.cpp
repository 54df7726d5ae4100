#include "DeltaMaker.h"

#include "CabWriter.h"
#include "CabinetExtract.h"
#include "FileDigest.h"
#include "SignatureError.h"
#include "TDeltaManifest.h"
#include "TPatchEncoder.h"
#include "TUniqueFd.h"
#include "TWorkFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

struct TWork {
    std::string root;
    std::vector<CabWriter::TEntry> cabinet;
    TDeltaManifest manifest;
};

// Writes the patch of newPath against oldPath to patchPath; false when no
// patch smaller than the new file could be made (the file then goes whole).
bool MakePatch(const std::string& oldPath, const std::string& newPath, const std::string& patchPath,
               std::uint64_t newSize, int level, std::string& error) {
    const TUniqueFd reference(open(oldPath.c_str(), O_RDONLY | O_CLOEXEC)),
        input(open(newPath.c_str(), O_RDONLY | O_CLOEXEC)),
        out(open(patchPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!reference.Valid() || !input.Valid() || !out.Valid()) {
        error = "cannot open the files of " + newPath + ": " + std::strerror(errno);
        return false;
    }
    std::uint64_t written = 0;
    const TPatchStatus status = TPatchEncoder::Make(
        reference.Get(), input.Get(),
        [&](const void* data, std::size_t size) {
            written += size;
            // Past the new file's size the patch is no use: stop early.
            return written < newSize && write(out.Get(), data, size) == static_cast<ssize_t>(size);
        },
        level);
    if (status == TPatchStatus::Ok)
        return true;
    if (status != TPatchStatus::WriteFailed || written < newSize)
        error = "cannot make the patch of " + newPath;
    return false;
}

bool AddFile(TWork& work, const CabinetExtract::TFile& file, const CabinetExtract::TFile* old, int level,
             std::string& error) {
    TDeltaEntry entry;
    entry.path = file.path;
    entry.result = file.digest;
    entry.size = file.size;
    entry.executable = file.executable;
    entry.entry = "f" + std::to_string(work.manifest.entries.size() + 1);
    const std::string newPath = work.root + "/new/" + file.path;
    std::string source = newPath;
    if (old && TPatchEncoder::Fits(old->size, file.size)) {
        const std::string patchPath = work.root + "/entries/" + entry.entry;
        if (MakePatch(work.root + "/old/" + file.path, newPath, patchPath, file.size, level, error)) {
            entry.kind = TDeltaEntry::TKind::Patch;
            entry.base = old->digest;
            source = patchPath;
        } else if (!error.empty()) {
            return false;
        }
    }
    work.cabinet.push_back({entry.entry, source});
    work.manifest.entries.push_back(std::move(entry));
    return true;
}

bool Fail(DeltaMaker::TResult& result, const std::string& error) {
    result.error = error;
    return false;
}

bool Build(const std::string& oldCab, const std::string& newCab, const std::string& outDelta,
           const DeltaMaker::TOptions& options, const std::string& root, DeltaMaker::TResult& result) {
    std::vector<CabinetExtract::TFile> oldFiles, newFiles;
    std::string error;
    std::error_code code;
    fs::create_directories(root + "/entries", code);
    if (!CabinetExtract::Extract(oldCab, root + "/old", oldFiles, error) ||
        !CabinetExtract::Extract(newCab, root + "/new", newFiles, error))
        return Fail(result, error);
    std::map<std::string, const CabinetExtract::TFile*> olds;
    for (const CabinetExtract::TFile& file : oldFiles)
        olds[file.path] = &file;

    TWork work{root, {{TDeltaManifest::kName, root + "/manifest"}}, {}};
    for (const CabinetExtract::TFile& file : newFiles) {
        const auto it = olds.find(file.path);
        const CabinetExtract::TFile* old = it == olds.end() ? nullptr : it->second;
        if (old && old->digest == file.digest && old->size == file.size) {
            ++result.unchanged;
            continue;
        }
        if (!AddFile(work, file, old, options.level, error))
            return Fail(result, error);
        ++(work.manifest.entries.back().kind == TDeltaEntry::TKind::Patch ? result.patches : result.wholes);
    }
    const std::string text = work.manifest.Format();
    TDeltaManifest check;
    if (!TDeltaManifest::Parse(text, check))
        return Fail(result, "the new package holds a path a delta cannot carry");
    FILE* manifest = std::fopen((root + "/manifest").c_str(), "wb");
    const bool written = manifest && std::fwrite(text.data(), 1, text.size(), manifest) == text.size();
    if (!manifest || std::fclose(manifest) != 0 || !written)
        return Fail(result, "cannot write the manifest");

    const std::string temp = outDelta + ".new";
    if (!CabWriter::Write(temp, work.cabinet, &error))
        return Fail(result, error);
    if (FileDigest::OfFile(temp, result.digest, &result.size) != SignatureError::kNone ||
        std::rename(temp.c_str(), outDelta.c_str()) != 0) {
        fs::remove(temp, code);
        return Fail(result, "cannot write " + outDelta);
    }
    return true;
}

} // namespace

DeltaMaker::TResult DeltaMaker::Make(const std::string& oldCab, const std::string& newCab,
                                     const std::string& outDelta, const TOptions& options) {
    TResult result;
    const std::string parent = fs::absolute(outDelta).parent_path().string();
    const TWorkFolder work(options.workRoot.empty() ? parent : options.workRoot);
    if (!work.Valid()) {
        result.error = "cannot create a temporary folder";
        return result;
    }
    result.ok = Build(oldCab, newCab, outDelta, options, work.Path(), result);
    return result;
}

} // namespace quorvel
