#pragma once

#include "QuorvelExport.h"

#include "CabTypes.h"
#include "TCABFileContents.h"
#include "TCabHeader.h"
#include "TCabSource.h"
#include "TComponent.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

namespace quorvel {

class TCabExtraction;
class TFileOps;
class TOrderedReads;

// Unpacks a cabinet archive (CABFile) into a folder (TargetPath).
//
// Entry names use "\" or "/" between folders. Names that are absolute or
// climb out of TargetPath are refused and nothing is written through a
// symbolic link: the folders of an entry are walked one by one without
// following links. An existing file is replaced by a new file (the old one is
// unlinked first), so a program running from the folder can be updated.
class QUORVEL_EXPORT TCABFile : public TComponent {
    Q_OBJECT
    Q_PROPERTY(TCABFileContents* CABFileContents READ CABFileContents)
    Q_PROPERTY(QString CABFile READ CABFile WRITE SetCABFile)
    Q_CLASSINFO("default:CABFile", "")
    Q_PROPERTY(quorvel::Cab::TCompressionType CompressionType READ CompressionType WRITE SetCompressionType)
    Q_CLASSINFO("default:CompressionType", "typMSZIP")
    Q_PROPERTY(quorvel::Cab::TLZXMemory LZXMemory READ LZXMemory WRITE SetLZXMemory)
    Q_CLASSINFO("default:LZXMemory", "lzxLowest")
    Q_PROPERTY(QString TargetPath READ TargetPath WRITE SetTargetPath)
    Q_CLASSINFO("default:TargetPath", "")
    // Always stored; a stored value is accepted and ignored.
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)

public:
    explicit TCABFile(QObject* owner = nullptr);
    ~TCABFile() override;

    TCABFileContents* CABFileContents() const { return m_contents; }
    QString CABFile() const { return m_cabFile; }
    void SetCABFile(const QString& path) { m_cabFile = path; }
    // An open descriptor to read the cabinet from in place of CABFile (-1,
    // the default: CABFile). It stays the caller's and is never reopened by
    // name, so what is unpacked is the file the caller holds; it is read with
    // pread, leaving its position alone. Such a cabinet cannot continue into
    // a set.
    int CABFileDescriptor() const { return m_cabFileDescriptor; }
    void SetCABFileDescriptor(int fd) { m_cabFileDescriptor = fd; }
    TCompressionType CompressionType() const { return m_compressionType; }
    void SetCompressionType(TCompressionType type) { m_compressionType = type; }
    TLZXMemory LZXMemory() const { return m_lzxMemory; }
    void SetLZXMemory(TLZXMemory memory) { m_lzxMemory = memory; }
    QString TargetPath() const { return m_targetPath; }
    void SetTargetPath(const QString& path) { m_targetPath = path; }
    QString Version() const;
    void SetVersion(const QString&) {}

    TCompressProgress OnCompressProgress; // never raised: nothing is compressed
    TDeCompressProgress OnDecompressProgress;
    TOverWriteFile OnOverWriteFile;

    // Writes the extracted files' contents; null uses the system's. Not
    // owned: the caller keeps it alive until the extraction has returned.
    TFileOps* FileOps = nullptr;
    // Given, while ExtractAll reads from CABFileDescriptor, every byte of
    // the cabinet file once and in file order: the bytes the extraction
    // skips and those after the last it reads included, and any it reads
    // twice served from what was given, so that a digest taken here is the
    // digest of what was unpacked.
    std::function<void(const char* data, std::size_t size)> OnCabinetBytes;
    // After such an ExtractAll: whether OnCabinetBytes was given the whole
    // file so. A cabinet whose extraction reads far back cannot be served
    // from what was given: false, and the caller reads the file again.
    bool CabinetBytesWhole() const { return m_cabinetBytesWhole; }

    // Unpacks every file of CABFile below TargetPath; true when all went well.
    bool ExtractAll();
    // The extraction itself: 0 on success, -1 on any failure.
    int ProcessCabinet();
    // Decompresses every file of CABFile without writing anything; true only
    // when every file decompresses, every checksum holds and every name
    // could be extracted below a target folder.
    bool VerifyAll();
    // What the cabinet's file table declares: the number of files and the
    // sum of their sizes (this cabinet's part of a set only), read from its
    // header without decompressing anything; false when it cannot be read.
    bool DeclaredContents(quint64& files, quint64& bytes) const;
    // True when the cabinet starts with a cabinet header whose declared
    // length is the file's length: reading the header only, it tells an
    // empty, cut or foreign file from a whole cabinet, not damaged data.
    bool IsWholeCabinet() const;

    // The file being written, as the copy-file notification set it.
    QString CurrentFileName;
    qint64 CurrentFileSize = 0;
    qint64 CurrentBytesWritten = 0;

private:
    // The extraction's callbacks (CabCallbacks) reach the state below
    // through TCabExtraction, declared in a header that is not installed.
    friend class TCabExtraction;

    // State of one extraction, kept for the notification handler (the
    // cabinet layer's callbacks); not for callers.
    struct TOutput {
        int dir = -1;             // folder of the file being written
        std::string leaf;         // its name in that folder
        std::intptr_t handle = 0; // 0 when no file is open
    };
    TOutput Output;
    bool Verifying = false;

    // Where the cabinet is read from: the descriptor when one is set, else CABFile.
    TCabSource Source(TOrderedReads* ordered = nullptr) const;
    // Reads the cabinet's header (and file table) and, when asked, the file's length.
    bool ReadHeader(Fdi::TCabHeader& header, bool withFiles, std::int64_t* length = nullptr) const;
    void DiscardUnfinishedOutput();

    TCABFileContents* m_contents;
    QString m_cabFile;
    int m_cabFileDescriptor = -1;
    TCompressionType m_compressionType = typMSZIP;
    TLZXMemory m_lzxMemory = lzxLowest;
    QString m_targetPath;
    bool m_cabinetBytesWhole = false;
};

} // namespace quorvel
