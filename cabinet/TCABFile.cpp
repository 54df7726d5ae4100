#include "TCABFile.h"

#include "CabCallbacks.h"
#include "Fdi.h"
#include "TCabHeader.h"
#include "TOrderedReads.h"

#include <QFile>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace quorvel {

namespace {

// Version number 1.4.0.0, highest byte first.
constexpr quint32 kVersion = 0x01040000;

} // namespace

TCABFile::TCABFile(QObject* owner) : TComponent(owner), m_contents(new TCABFileContents(this)) {}

TCABFile::~TCABFile() = default;

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

TCabSource TCABFile::Source(TOrderedReads* ordered) const {
    return m_cabFileDescriptor >= 0 ? TCabSource::FromDescriptor(m_cabFileDescriptor, ordered)
                                    : TCabSource::FromPath(m_cabFile);
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
    m_cabinetBytesWhole = false;
    std::optional<TOrderedReads> ordered;
    if (OnCabinetBytes && m_cabFileDescriptor >= 0)
        ordered.emplace(m_cabFileDescriptor, OnCabinetBytes);
    const TCabSource source = Source(ordered ? &*ordered : nullptr);
    std::string name, folder;
    if (!source.Locate(name, folder) || !Fdi::LoadLibrary())
        return -1;
    int result = -1;
    Fdi::TErf erf;
    const Fdi::TCallbacks callbacks = source.Callbacks(CabCallbacks(this));
    if (Fdi::HFDI fdi = Fdi::Create(callbacks, Fdi::TCpuType::cpu80386, &erf)) {
        const Fdi::FileHandle handle = callbacks.open(folder + name, O_RDONLY, 0);
        Fdi::TCabinetInfo info;
        const bool isCabinet = handle != Fdi::kInvalidHandle && Fdi::IsCabinet(fdi, handle, &info);
        if (handle != Fdi::kInvalidHandle)
            callbacks.close(handle);
        Output = {};
        if (isCabinet && Fdi::Copy(fdi, name, folder, 0, CabNotify, nullptr, this))
            result = 0;
        DiscardUnfinishedOutput();
        if (!Fdi::Destroy(fdi))
            result = -1;
    }
    Fdi::FreeLibrary();
    if (result == 0 && ordered)
        m_cabinetBytesWhole = ordered->Finish();
    return result;
}

bool TCABFile::VerifyAll() {
    const TCabSource source = Source();
    std::string name, folder;
    if (!source.Locate(name, folder) || !Fdi::LoadLibrary())
        return false;
    Fdi::TCallbacks callbacks = source.Callbacks(CabCallbacks());
    callbacks.write = [](Fdi::FileHandle handle, const void*, std::uint32_t count) -> std::int64_t {
        return handle == kSinkHandle ? count : -1;
    };
    callbacks.close = [close = callbacks.close](Fdi::FileHandle handle) {
        return handle == kSinkHandle ? 0 : close(handle);
    };
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

bool TCABFile::ReadHeader(Fdi::TCabHeader& header, bool withFiles, std::int64_t* length) const {
    const TCabSource source = Source();
    std::string name, folder;
    if (!source.Locate(name, folder))
        return false;
    const Fdi::TCallbacks callbacks = source.Callbacks(CabCallbacks());
    const Fdi::FileHandle handle = callbacks.open(folder + name, O_RDONLY, 0);
    if (handle == Fdi::kInvalidHandle)
        return false;
    bool ok = header.ReadHeader(callbacks, handle) && (!withFiles || header.ReadFiles(callbacks, handle));
    if (ok && length)
        ok = (*length = callbacks.seek(handle, 0, Fdi::soEnd)) >= 0;
    callbacks.close(handle);
    return ok;
}

bool TCABFile::IsWholeCabinet() const {
    Fdi::TCabHeader header;
    std::int64_t length = 0;
    return ReadHeader(header, false, &length) && header.Info().cbCabinet == length;
}

bool TCABFile::DeclaredContents(quint64& files, quint64& bytes) const {
    Fdi::TCabHeader header;
    if (!ReadHeader(header, true))
        return false;
    files = header.Files().size();
    bytes = 0;
    for (const Fdi::TCabHeader::TFileEntry& file : header.Files())
        bytes += file.length;
    return true;
}

} // namespace quorvel
