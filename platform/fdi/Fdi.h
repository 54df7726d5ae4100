#pragma once

#include "QuorvelExport.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorvel {

// A file-decompression interface for cabinet archives: the caller supplies
// memory and file callbacks, the layer reads cabinets and writes every
// decompressed byte only through those callbacks, and asks the caller per
// file through notifications where (and whether) a file goes.
namespace Fdi {

// A file handle as the caller's open callback returns it; -1 means failure.
using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidHandle = -1;

enum class TFdiError {
    None = 0,
    CabinetNotFound,
    NotACabinet,
    UnknownCabinetVersion,
    CorruptCabinet,
    AllocFail,
    BadCompressionType,
    MdiFail,    // the decompressor failed (damaged data, checksum)
    TargetFile, // a copy-file or close-file answer failed
    ReserveMismatch,
    WrongCabinet,
    UserAbort,
};

// Error record filled by Create and by the operations on a context.
struct QUORVEL_EXPORT TErf {
    TFdiError oper = TFdiError::None;
    int type = 0; // the decompressor's own code, for diagnostics
    bool error = false;
};

// Origins of the seek callback (same values as SEEK_SET/CUR/END).
enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

struct QUORVEL_EXPORT TCallbacks {
    std::function<void*(std::size_t size)> alloc;
    std::function<void(void* block)> free;
    // flags are POSIX open flags (O_RDONLY...); returns a handle or -1.
    std::function<FileHandle(const std::string& name, int flags, int mode)> open;
    // Return the byte count transferred, or -1 on failure.
    std::function<std::int64_t(FileHandle handle, void* buffer, std::uint32_t count)> read;
    std::function<std::int64_t(FileHandle handle, const void* buffer, std::uint32_t count)> write;
    // Returns 0 on success, -1 on failure.
    std::function<int(FileHandle handle)> close;
    // Returns the new position, or -1 on failure.
    std::function<std::int64_t(FileHandle handle, std::int64_t distance, int origin)> seek;
};

enum class TCpuType { cpuUnknown = -1, cpu80286 = 0, cpu80386 = 1 };

struct QUORVEL_EXPORT TCabinetInfo {
    std::int64_t cbCabinet = 0; // total length of the cabinet file
    std::uint16_t cFolders = 0;
    std::uint16_t cFiles = 0;
    std::uint16_t setID = 0;
    std::uint16_t iCabinet = 0; // number of this cabinet in its set
    bool fReserve = false;
    bool hasprev = false;
    bool hasnext = false;
};

enum TNotificationType {
    fdintCABINET_INFO = 0,
    fdintPARTIAL_FILE = 1,
    fdintCOPY_FILE = 2,
    fdintCLOSE_FILE_INFO = 3,
    fdintNEXT_CABINET = 4,
    fdintENUMERATE = 5,
};

// What a notification carries; which fields are set depends on its type:
// - CABINET_INFO: psz1 next cabinet name, psz2 next disk name, psz3 cabinet
//   path, setID, iCabinet.
// - PARTIAL_FILE: psz1 file name, psz2 first cabinet, psz3 first disk.
// - COPY_FILE: psz1 file name, cb uncompressed size, date, time, attribs.
// - CLOSE_FILE_INFO: psz1 file name, hf output handle, date, time, attribs.
// - NEXT_CABINET: psz1 next cabinet name, psz2 next disk, psz3 cabinet path
//   (the handler may change it), fdie why it is asked for.
// - ENUMERATE: iFolder.
struct QUORVEL_EXPORT TNotification {
    std::int64_t cb = 0;
    std::string psz1, psz2, psz3;
    void* pv = nullptr;
    FileHandle hf = 0;
    std::uint16_t date = 0; // DOS date
    std::uint16_t time = 0; // DOS time
    std::uint16_t attribs = 0;
    std::uint16_t setID = 0;
    std::uint16_t iCabinet = 0;
    std::uint16_t iFolder = 0;
    TFdiError fdie = TFdiError::None;
};

// Bits of TNotification::attribs, as the cabinet's file table stores them.
constexpr std::uint16_t kAttribExecute = 0x40; // the file is a program to run

// Answers: COPY_FILE a handle, 0 to skip or -1 to abort; CLOSE_FILE_INFO 1
// (0 or -1 aborts); others 0 to go on, -1 to abort.
using TNotify = std::function<FileHandle(TNotificationType type, TNotification& notification)>;

class TContext;
using HFDI = TContext*;

// Whether the decompression library can be used. Load/Free bracket one
// extraction; tests make it unavailable through SetAvailable(false).
QUORVEL_EXPORT bool LoadLibrary();
QUORVEL_EXPORT void FreeLibrary();
QUORVEL_EXPORT void SetAvailable(bool available);

// Returns a context, or null (with erf filled) when it cannot be created.
QUORVEL_EXPORT HFDI Create(TCallbacks callbacks, TCpuType cpuType, TErf* erf);
// Reads a cabinet header at the handle's current position.
QUORVEL_EXPORT bool IsCabinet(HFDI context, FileHandle handle, TCabinetInfo* info);
// Extracts the cabinet path + name (and, when it continues, the next parts
// of its set from the same folder), asking notify about every file. flags
// and the decryption hook are reserved and must be 0/null.
QUORVEL_EXPORT bool Copy(HFDI context, const std::string& cabinetName, const std::string& cabinetPath,
                         int flags, const TNotify& notify, void* decrypt, void* userValue);
QUORVEL_EXPORT bool Destroy(HFDI context);

// Error of the last operation on the context.
QUORVEL_EXPORT TErf LastError(HFDI context);

} // namespace Fdi

} // namespace quorvel
