#pragma once

#include "QuorvelExport.h"

#include "Fdi.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string>

namespace quorvel {

class TOrderedReads;

// Where an extraction reads its cabinet: a path, opened by name through the
// usual callbacks, or a descriptor the caller opened, read in place so that
// the bytes unpacked are those of the file the caller holds (and may have
// checked) whatever happens to its name meanwhile.
//
// Every open of a descriptor source gets a copy of the descriptor with a
// position of its own, read with pread: the decompression layer may hold
// more than one handle on the cabinet, and the caller's own position is left
// alone. A descriptor source is one file: a cabinet set cannot continue
// beyond it.
class QUORVEL_EXPORT TCabSource {
public:
    // Reads the cabinet file at `path` (absolute or relative to the current folder).
    static TCabSource FromPath(const QString& path);
    // Reads the open descriptor `fd`; it stays the caller's. With `ordered`
    // (over the same descriptor), every read goes through it.
    static TCabSource FromDescriptor(int fd, TOrderedReads* ordered = nullptr);

    // The name and folder ("/" at the end) to hand to the decompression
    // layer; false when the source cannot be read.
    bool Locate(std::string& name, std::string& folder) const;
    // The callbacks `base` with reading of the source put in: for a
    // descriptor, opening the located name reads the descriptor and no other
    // file can be opened for reading; the output callbacks stay base's.
    Fdi::TCallbacks Callbacks(Fdi::TCallbacks base) const;

private:
    struct TReaders;
    QString m_path;
    int m_fd = -1;
    TOrderedReads* m_ordered = nullptr;
};

} // namespace quorvel
