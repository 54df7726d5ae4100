#include "TCABFile.h"

#include "CabCallbacks.h"
#include "Fdi.h"

#include <QFile>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

// Version number 1.4.0.0, highest byte first.
constexpr quint32 kVersion = 0x01040000;

} // namespace

TCABFile::TCABFile(QObject* owner) : TComponent(owner), m_contents(new TCABFileContents(this)) {}

TCABFile::~TCABFile() {
    ForgetExtraction(this);
}

QString TCABFile::Version() const {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(kVersion >> 24)
        .arg((kVersion >> 16) & 0xFF)
        .arg((kVersion >> 8) & 0xFF)
        .arg(kVersion & 0xFF);
}

bool TCABFile::ExtractAll() {
    return ProcessCabinet() == 0;
}

bool TCABFile::CabinetLocation(std::string& name, std::string& folder) const {
    const std::string path = QFile::encodeName(m_cabFile).toStdString();
    const std::size_t cut = path.find_last_of("/\\");
    name = cut == std::string::npos ? path : path.substr(cut + 1);
    std::error_code error;
    std::filesystem::path dir = cut == std::string::npos
                                    ? std::filesystem::current_path(error)
                                    : std::filesystem::absolute(path.substr(0, cut + 1), error);
    if (error || name.empty())
        return false;
    folder = dir.string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    // The cabinet must be readable before anything else is done.
    const Fdi::FileHandle handle = CabOpen(folder + name, O_RDONLY, 0);
    if (handle == Fdi::kInvalidHandle)
        return false;
    close(static_cast<int>(handle));
    return true;
}

// A file whose writing failed part-way is removed: it does not hold what the
// cabinet carries.
void TCABFile::DiscardUnfinishedOutput() {
    if (Output.dir >= 0) {
        if (Output.handle != 0)
            unlinkat(Output.dir, Output.leaf.c_str(), 0);
        close(Output.dir);
    }
    Output = {};
}

int TCABFile::ProcessCabinet() {
    std::string name, folder;
    if (!CabinetLocation(name, folder) || !Fdi::LoadLibrary())
        return -1;
    int result = -1;
    Fdi::TErf erf;
    if (Fdi::HFDI fdi = Fdi::Create(CabCallbacks(), Fdi::TCpuType::cpu80386, &erf)) {
        const Fdi::FileHandle handle = CabOpen(folder + name, O_RDONLY, 0);
        Fdi::TCabinetInfo info;
        const bool isCabinet = handle != Fdi::kInvalidHandle && Fdi::IsCabinet(fdi, handle, &info);
        if (handle != Fdi::kInvalidHandle)
            CabClose(handle);
        Output = {};
        if (isCabinet && Fdi::Copy(fdi, name, folder, 0, CabNotify, nullptr, this))
            result = 0;
        DiscardUnfinishedOutput();
        if (!Fdi::Destroy(fdi))
            result = -1;
    }
    Fdi::FreeLibrary();
    return result;
}

bool TCABFile::VerifyAll() {
    std::string name, folder;
    if (!CabinetLocation(name, folder) || !Fdi::LoadLibrary())
        return false;
    Fdi::TCallbacks callbacks = CabCallbacks();
    callbacks.write = [](Fdi::FileHandle handle, const void*, std::uint32_t count) -> std::int64_t {
        return handle == kSinkHandle ? count : -1;
    };
    callbacks.close = [](Fdi::FileHandle handle) { return handle == kSinkHandle ? 0 : CabClose(handle); };
    bool ok = false;
    Fdi::TErf erf;
    if (Fdi::HFDI fdi = Fdi::Create(std::move(callbacks), Fdi::TCpuType::cpu80386, &erf)) {
        Verifying = true;
        ok = Fdi::Copy(fdi, name, folder, 0, CabNotify, nullptr, this);
        Verifying = false;
        ok = Fdi::Destroy(fdi) && ok;
    }
    Fdi::FreeLibrary();
    return ok;
}
