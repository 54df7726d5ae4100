#include "CabinetExtract.h"

#include "CabinetEntries.h"
#include "TTargetFolder.h"
#include "TUniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

class TWriter : public CabinetEntries::TVisitor {
public:
    explicit TWriter(const std::string& folder) : m_folder(folder) {}

    TAnswer Begin(const std::string& name, std::uint64_t, bool executable) override {
        std::vector<std::string> parts;
        if (!TTargetFolder::SplitEntryName(name, parts))
            return Fail("an entry name leaves the folder: " + name);
        std::string path;
        for (const std::string& part : parts)
            path += (path.empty() ? "" : "/") + part;
        std::error_code code;
        const fs::path target = fs::path(m_folder) / path;
        fs::create_directories(target.parent_path(), code);
        fs::remove(target, code);
        m_out = TUniqueFd(open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!m_out.Valid())
            return Fail("cannot create " + target.string() + ": " + std::strerror(errno));
        m_current = {};
        m_current.path = path;
        m_current.executable = executable;
        m_hash.Reset();
        return TAnswer::Take;
    }
    bool Data(const void* data, std::size_t size) override {
        const char* bytes = static_cast<const char*>(data);
        m_hash.Update(data, size);
        m_current.size += size;
        while (size > 0) {
            const ssize_t done = write(m_out.Get(), bytes, size);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                return Fail(std::string("cannot write: ") + std::strerror(errno)) != TAnswer::Stop;
            bytes += done;
            size -= static_cast<std::size_t>(done);
        }
        return true;
    }
    bool End() override {
        m_out.Reset();
        if (!m_hash.Final(m_current.digest))
            return Fail("cannot hash") != TAnswer::Stop;
        const auto [it, added] = m_index.emplace(m_current.path, files.size());
        if (added)
            files.push_back(m_current);
        else
            files[it->second] = m_current;
        return true;
    }

    std::vector<CabinetExtract::TFile> files;
    std::string error;

private:
    TAnswer Fail(const std::string& why) {
        if (error.empty())
            error = why;
        return TAnswer::Stop;
    }

    std::string m_folder;
    TUniqueFd m_out;
    TSha512 m_hash;
    CabinetExtract::TFile m_current;
    std::map<std::string, std::size_t> m_index;
};

} // namespace

bool CabinetExtract::Extract(const std::string& cabinet, const std::string& folder, std::vector<TFile>& files,
                             std::string& error) {
    const TUniqueFd fd(open(cabinet.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        error = "cannot open " + cabinet + ": " + std::strerror(errno);
        return false;
    }
    TWriter writer(folder);
    if (!CabinetEntries::Read(fd.Get(), writer)) {
        error = writer.error.empty() ? cabinet + " is no readable cabinet" : writer.error;
        return false;
    }
    files = std::move(writer.files);
    return true;
}

} // namespace quorvel
