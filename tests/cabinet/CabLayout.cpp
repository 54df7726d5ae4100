#include "CabLayout.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr std::uint16_t kFlagPrev = 1, kFlagNext = 2, kFlagReserve = 4;

void Put16(std::string& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutString(std::string& out, const std::string& text) {
    out += text;
    out.push_back('\0');
}

// Reads little-endian fields and strings, bounds-checked.
class Reader {
public:
    Reader(const std::string& bytes, std::size_t at) : m_bytes(bytes), m_at(at) {}
    std::uint32_t Get(int size) {
        Need(static_cast<std::size_t>(size));
        std::uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(m_bytes[m_at + static_cast<std::size_t>(i)]);
        m_at += static_cast<std::size_t>(size);
        return v;
    }
    std::string Take(std::size_t count) {
        Need(count);
        m_at += count;
        return m_bytes.substr(m_at - count, count);
    }
    std::string String() {
        const std::size_t end = m_bytes.find('\0', m_at);
        if (end == std::string::npos)
            throw std::runtime_error("unterminated string in cabinet");
        std::string text = m_bytes.substr(m_at, end - m_at);
        m_at = end + 1;
        return text;
    }

private:
    void Need(std::size_t count) const {
        if (m_at > m_bytes.size() || m_bytes.size() - m_at < count)
            throw std::runtime_error("cabinet ends early");
    }
    const std::string& m_bytes;
    std::size_t m_at;
};

} // namespace

std::uint32_t CabChecksum(const unsigned char* p, std::size_t n, std::uint32_t seed) {
    std::uint32_t sum = seed;
    for (std::size_t words = n / 4; words > 0; --words, p += 4)
        sum ^= p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    std::uint32_t tail = 0;
    switch (n % 4) {
    case 3:
        tail |= static_cast<std::uint32_t>(*p++) << 16;
        [[fallthrough]];
    case 2:
        tail |= static_cast<std::uint32_t>(*p++) << 8;
        [[fallthrough]];
    case 1:
        tail |= *p;
    }
    return sum ^ tail;
}

void CabLayout::Block::Sum() {
    std::string sizes;
    Put16(sizes, static_cast<unsigned>(data.size()));
    Put16(sizes, uncompressed);
    checksum = CabChecksum(reinterpret_cast<const unsigned char*>(data.data()), data.size(), 0);
    checksum = CabChecksum(reinterpret_cast<const unsigned char*>(sizes.data()), sizes.size(), checksum);
}

CabLayout CabLayout::Read(const std::string& bytes) {
    if (bytes.compare(0, 4, "MSCF") != 0)
        throw std::runtime_error("not a cabinet");
    CabLayout cab;
    Reader h(bytes, 16);
    const std::uint32_t filesAt = h.Get(4);
    h.Get(4);
    h.Get(2); // version
    const unsigned folderCount = h.Get(2), fileCount = h.Get(2), flags = h.Get(2);
    cab.setId = static_cast<std::uint16_t>(h.Get(2));
    cab.index = static_cast<std::uint16_t>(h.Get(2));
    if ((cab.reserve = (flags & kFlagReserve) != 0)) {
        cab.headerReserve = static_cast<std::uint16_t>(h.Get(2));
        cab.folderReserve = static_cast<std::uint8_t>(h.Get(1));
        cab.dataReserve = static_cast<std::uint8_t>(h.Get(1));
        h.Take(cab.headerReserve);
    }
    if (flags & kFlagPrev) {
        cab.prevName = h.String();
        h.String();
    }
    if (flags & kFlagNext) {
        cab.nextName = h.String();
        h.String();
    }
    for (unsigned i = 0; i < folderCount; ++i) {
        const std::uint32_t dataAt = h.Get(4);
        const unsigned blocks = h.Get(2);
        Folder folder;
        folder.compression = static_cast<std::uint16_t>(h.Get(2));
        h.Take(cab.folderReserve);
        Reader d(bytes, dataAt);
        for (unsigned b = 0; b < blocks; ++b) {
            Block block;
            block.checksum = d.Get(4);
            const std::uint32_t size = d.Get(2);
            block.uncompressed = static_cast<std::uint16_t>(d.Get(2));
            d.Take(cab.dataReserve);
            block.data = d.Take(size);
            folder.blocks.push_back(std::move(block));
        }
        cab.folders.push_back(std::move(folder));
    }
    Reader f(bytes, filesAt);
    for (unsigned i = 0; i < fileCount; ++i) {
        File file;
        file.size = f.Get(4);
        file.offset = f.Get(4);
        file.folder = static_cast<std::uint16_t>(f.Get(2));
        file.date = static_cast<std::uint16_t>(f.Get(2));
        file.time = static_cast<std::uint16_t>(f.Get(2));
        file.attribs = static_cast<std::uint16_t>(f.Get(2));
        file.name = f.String();
        cab.files.push_back(std::move(file));
    }
    return cab;
}

std::string CabLayout::Build() const {
    std::string head;
    if (reserve) {
        Put16(head, headerReserve);
        head.push_back(static_cast<char>(folderReserve));
        head.push_back(static_cast<char>(dataReserve));
        head += std::string(headerReserve, 'H');
    }
    if (!prevName.empty()) {
        PutString(head, prevName);
        PutString(head, "disk");
    }
    if (!nextName.empty()) {
        PutString(head, nextName);
        PutString(head, "disk");
    }
    std::string table;
    for (const File& file : files) {
        Put32(table, file.size);
        Put32(table, file.offset);
        Put16(table, file.folder);
        Put16(table, file.date);
        Put16(table, file.time);
        Put16(table, file.attribs);
        PutString(table, file.name);
    }
    const std::size_t foldersAt = 36 + head.size();
    const std::size_t filesAt = foldersAt + folders.size() * (8 + folderReserve);
    std::string folderTable, data;
    std::size_t dataAt = filesAt + table.size();
    for (const Folder& folder : folders) {
        Put32(folderTable, static_cast<std::uint32_t>(dataAt + data.size()));
        Put16(folderTable, static_cast<unsigned>(folder.blocks.size()));
        Put16(folderTable, folder.compression);
        folderTable += std::string(folderReserve, 'F');
        for (const Block& block : folder.blocks) {
            Put32(data, block.checksum);
            Put16(data, static_cast<unsigned>(block.data.size()));
            Put16(data, block.uncompressed);
            data += std::string(dataReserve, 'D') + block.data;
        }
    }
    const unsigned flags = (prevName.empty() ? 0 : kFlagPrev) | (nextName.empty() ? 0 : kFlagNext) |
                           (reserve ? kFlagReserve : 0);
    std::string out = "MSCF";
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(dataAt + data.size()));
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(filesAt));
    Put32(out, 0);
    out.push_back(3);
    out.push_back(1);
    Put16(out, static_cast<unsigned>(folders.size()));
    Put16(out, static_cast<unsigned>(files.size()));
    Put16(out, flags);
    Put16(out, setId);
    Put16(out, index);
    return out + head + folderTable + table + data;
}

void CabLayout::Append(const CabLayout& other) {
    const auto shift = static_cast<std::uint16_t>(folders.size());
    folders.insert(folders.end(), other.folders.begin(), other.folders.end());
    for (File file : other.files) {
        file.folder = static_cast<std::uint16_t>(file.folder + shift);
        files.push_back(std::move(file));
    }
}

std::vector<CabLayout> CabLayout::SplitSet(const std::vector<std::size_t>& cuts,
                                           const std::vector<std::string>& names) const {
    if (folders.size() != 1 || names.size() != cuts.size() + 1)
        throw std::runtime_error("a set is cut from one folder into one part per name");
    const std::vector<Block>& blocks = folders[0].blocks;
    // Where each block's bytes begin in the folder, and where they end.
    std::vector<std::uint32_t> at = {0};
    for (const Block& block : blocks)
        at.push_back(at.back() + block.uncompressed);
    std::vector<CabLayout> parts;
    std::size_t first = 0; // the part's first block, split or not
    for (std::size_t p = 0; p < names.size(); ++p) {
        CabLayout part;
        part.setId = 0x5E7;
        part.index = static_cast<std::uint16_t>(p);
        part.prevName = p > 0 ? names[p - 1] : "";
        part.nextName = p + 1 < names.size() ? names[p + 1] : "";
        part.folders.push_back({folders[0].compression, {}});
        const std::size_t last = p < cuts.size() ? cuts[p] : blocks.size() - 1;
        for (std::size_t b = first; b <= last; ++b) {
            Block block = blocks[b];
            if (p > 0 && b == first) // the second half of a split block
                block.data = block.data.substr(block.data.size() / 2);
            if (p < cuts.size() && b == last) { // the first half
                block.data = block.data.substr(0, block.data.size() / 2);
                block.uncompressed = 0;
            }
            block.Sum();
            part.folders[0].blocks.push_back(std::move(block));
        }
        for (File file : files) {
            const std::uint32_t end = file.offset + std::max<std::uint32_t>(file.size, 1);
            if (file.offset >= at[last + 1] || end <= at[first])
                continue;
            // Bytes in a split block need both parts that hold a half of it.
            const bool before = p > 0 && file.offset < at[first + 1];
            const bool after = p < cuts.size() && end > at[last];
            file.folder = before && after ? kPrevAndNext : before ? kFromPrev : after ? kToNext : 0;
            part.files.push_back(std::move(file));
        }
        first = last;
        parts.push_back(std::move(part));
    }
    return parts;
}
