#include "TDeltaApplier.h"

#include "CabinetEntries.h"
#include "FolderSteps.h"
#include "TFileBuilder.h"
#include "TFileOps.h"
#include "TFolderSet.h"

#include <map>

namespace quorvel {

namespace {

// Takes the manifest entry and stops at the next entry after it: the maker
// writes the manifest first, so the rest of the package is not read.
class TManifestReader : public CabinetEntries::TVisitor {
public:
    TAnswer Begin(const std::string& name, std::uint64_t size, bool) override {
        if (m_ended)
            return TAnswer::Stop;
        if (name != TDeltaManifest::kName)
            return TAnswer::Skip;
        m_tooLarge = size > TDeltaManifest::kMaxText || m_taken;
        m_taken = true;
        return m_tooLarge ? TAnswer::Stop : TAnswer::Take;
    }
    bool Data(const void* data, std::size_t size) override {
        if (size > TDeltaManifest::kMaxText - text.size())
            return !(m_tooLarge = true);
        text.append(static_cast<const char*>(data), size);
        return true;
    }
    bool End() override { return m_ended = true; }

    bool Whole() const { return m_ended && !m_tooLarge; }
    std::string text;

private:
    bool m_taken = false, m_ended = false, m_tooLarge = false;
};

// Builds every file entry of the package in turn.
class TBuilder : public CabinetEntries::TVisitor {
public:
    TBuilder(const TDeltaManifest& manifest, TFileOps& ops, int productDir, int stagingDir)
        : m_file(ops), m_product(productDir), m_staging(stagingDir), m_ops(ops) {
        for (const TDeltaEntry& entry : manifest.entries)
            m_pending.emplace(entry.entry, &entry);
    }

    TAnswer Begin(const std::string& name, std::uint64_t size, bool) override {
        if (name == TDeltaManifest::kName)
            return TAnswer::Skip;
        const auto it = m_pending.find(name);
        if (it == m_pending.end())
            return Fail(TDeltaError::Malformed, name);
        m_current = it->second;
        m_pending.erase(it);
        if (m_current->kind == TDeltaEntry::TKind::Whole && size != m_current->size)
            return Fail(TDeltaError::ResultMismatch, m_current->path);
        if (const TDeltaError error = m_file.Begin(*m_current, m_product, m_staging);
            error != TDeltaError::None)
            return Fail(error, m_current->path);
        return TAnswer::Take;
    }
    bool Data(const void* data, std::size_t size) override {
        const TDeltaError error = m_file.Data(data, size);
        return error == TDeltaError::None || Fail(error, m_current->path) != TAnswer::Stop;
    }
    bool End() override {
        const TDeltaError error = m_file.End();
        if (error != TDeltaError::None)
            return Fail(error, m_current->path) != TAnswer::Stop;
        built.push_back(m_current->path);
        return true;
    }

    // The outcome once the cabinet has been read (ok: it was read whole).
    TDeltaError Finish(bool ok) {
        if (error == TDeltaError::None && (!ok || !m_pending.empty())) {
            error = TDeltaError::Malformed;
            failedPath = m_pending.empty() ? std::string() : m_pending.begin()->second->path;
        }
        if (error != TDeltaError::None) {
            m_file.Discard(m_staging);
            for (const std::string& path : built) {
                const std::vector<std::string> parts = FolderSteps::SplitPath(path);
                const int dir = m_staging.Open(parts, parts.size() - 1, m_ops);
                if (dir >= 0)
                    m_ops.Unlink(dir, parts.back().c_str(), 0);
            }
            built.clear();
        }
        return error;
    }

    TDeltaError error = TDeltaError::None;
    std::string failedPath;
    std::vector<std::string> built;

private:
    TAnswer Fail(TDeltaError why, const std::string& path) {
        if (error == TDeltaError::None) {
            error = why;
            failedPath = path;
        }
        return TAnswer::Stop;
    }

    TFileBuilder m_file;
    TFolderSet m_product, m_staging;
    TFileOps& m_ops;
    std::map<std::string, const TDeltaEntry*> m_pending;
    const TDeltaEntry* m_current = nullptr;
};

} // namespace

TDeltaApplier::TDeltaApplier(TFileOps& ops) : m_ops(ops) {}

TDeltaError TDeltaApplier::ReadManifest(int deltaFd, TDeltaManifest& manifest) {
    TManifestReader reader;
    CabinetEntries::Read(deltaFd, reader);
    return reader.Whole() && TDeltaManifest::Parse(reader.text, manifest) ? TDeltaError::None
                                                                          : TDeltaError::Malformed;
}

TDeltaError TDeltaApplier::Apply(int deltaFd, int productDir, int stagingDir) {
    m_manifest = {};
    m_built.clear();
    m_failedPath.clear();
    if (const TDeltaError error = ReadManifest(deltaFd, m_manifest); error != TDeltaError::None)
        return error;
    TBuilder builder(m_manifest, m_ops, productDir, stagingDir);
    const bool read = CabinetEntries::Read(deltaFd, builder);
    const TDeltaError error = builder.Finish(read);
    m_built = std::move(builder.built);
    m_failedPath = std::move(builder.failedPath);
    return error;
}

} // namespace quorvel
