#pragma once

#include "Fdi.h"
#include "TCabHeader.h"

#include <mspack.h>

#include <deque>
#include <string>
#include <vector>

namespace quorvel {

namespace Fdi {

// One decompression context: the caller's callbacks behind the
// decompressor's system interface, and the cabinet parts of one copy.
class TContext {
public:
    explicit TContext(TCallbacks callbacks);
    ~TContext();
    TContext(const TContext&) = delete;
    TContext& operator=(const TContext&) = delete;

    bool Valid() const { return m_decompressor != nullptr; }
    bool Copy(const std::string& name, const std::string& path, const TNotify& notify, void* userValue);
    bool Fail(TFdiError error, int type = 0);

    TCallbacks callbacks;
    TErf erf;
    FileHandle pendingOutput = 0;

private:
    struct TCabinetPart {
        mscabd_cabinet* cabinet = nullptr;
        TCabHeader header;
    };

    bool OpenPart(const std::string& fullName, TCabinetPart& part);
    bool NotifyCabinetInfo(const TCabinetPart& part, const std::string& path, const TNotify& notify,
                           void* pv);
    bool FollowSet(std::string path, const TNotify& notify, void* pv);
    std::vector<bool> PartialFiles(const TCabinetPart& part, const std::vector<mscabd_file*>& files) const;
    bool CopyFile(mscabd_file* file, const TNotify& notify, void* pv);
    void CloseParts();

    mspack_system m_system{};
    mscab_decompressor* m_decompressor = nullptr;
    std::vector<TCabinetPart> m_parts;
    // The decompressor keeps the name pointers it was opened with; a deque
    // keeps them in place while parts are added.
    std::deque<std::string> m_names;
};

} // namespace Fdi

} // namespace quorvel
