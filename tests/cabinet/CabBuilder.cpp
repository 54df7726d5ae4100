#include "CabBuilder.h"
#include "CabLayout.h"

#include <fstream>

namespace {

void Put16(std::string& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

std::string CabBuilder::Build() const {
    std::string all;
    for (const File& f : files)
        all += f.data;
    std::string table;
    std::uint32_t offset = 0;
    for (const File& f : files) {
        Put32(table, static_cast<std::uint32_t>(f.data.size()));
        Put32(table, offset);
        Put16(table, 0);
        Put16(table, f.date);
        Put16(table, f.time);
        Put16(table, 0x20);
        table += f.name;
        table.push_back('\0');
        offset += static_cast<std::uint32_t>(f.data.size());
    }
    std::string blocks;
    unsigned count = 0;
    for (std::size_t at = 0; at < all.size(); at += blockSize, ++count) {
        std::string data = all.substr(at, blockSize);
        std::string sizes;
        Put16(sizes, static_cast<unsigned>(data.size()));
        Put16(sizes, static_cast<unsigned>(data.size()));
        std::uint32_t sum = 0;
        if (checksums) {
            sum = CabChecksum(reinterpret_cast<const unsigned char*>(data.data()), data.size(), 0);
            sum = CabChecksum(reinterpret_cast<const unsigned char*>(sizes.data()), 4, sum);
        }
        if (static_cast<int>(count) == corruptBlock)
            data[data.size() / 2] = static_cast<char>(data[data.size() / 2] ^ 0x5A);
        Put32(blocks, sum);
        blocks += sizes + data;
    }
    const std::uint32_t headerSize = 36 + 8;
    const std::uint32_t dataStart = headerSize + static_cast<std::uint32_t>(table.size());
    std::string out = "MSCF";
    Put32(out, 0);
    Put32(out, dataStart + static_cast<std::uint32_t>(blocks.size()));
    Put32(out, 0);
    Put32(out, headerSize);
    Put32(out, 0);
    out.push_back(3);
    out.push_back(1);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(files.size()));
    Put16(out, 0);
    Put16(out, 0x1234);
    Put16(out, 0);
    Put32(out, dataStart);
    Put16(out, count);
    Put16(out, 0);
    return out + table + blocks;
}

void CabBuilder::Write(const std::string& path) const {
    std::ofstream(path, std::ios::binary) << Build();
}
