#include "CabTestSupport.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

using namespace quorvel;

void MakeGcab(const fs::path& cab, const fs::path& folder, const std::vector<std::string>& names, bool zip) {
    std::string command =
        "cd '" + folder.string() + "' && gcab -c " + (zip ? "-z " : "") + "'" + cab.string() + "'";
    for (const std::string& name : names)
        command += " '" + name + "'";
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("gcab failed: " + command);
}

std::map<std::string, long long> ScanTree(const fs::path& root) {
    std::map<std::string, long long> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (it->is_symlink())
            entries[rel] = -2;
        else if (it->is_directory())
            entries[rel] = -1;
        else
            entries[rel] = static_cast<long long>(it->file_size());
    }
    return entries;
}

MessageRecorder::MessageRecorder() {
    m_previous = SetMessageBoxHandler([this](const QString& title, const QString& text, TMessageKind) {
        titles.push_back(title);
        texts.push_back(text);
    });
}

MessageRecorder::~MessageRecorder() {
    SetMessageBoxHandler(m_previous);
}

long long LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

long long ModTime(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mtime;
}

std::string GcabOf(const Tree& files, bool zip) {
    TempDir src, work;
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
        WriteFile(src / name, bytes);
        names.push_back(name);
    }
    MakeGcab(work / "g.cab", src.Path(), names, zip);
    return ReadFile(work / "g.cab");
}

void ExpectTree(const fs::path& root, const Tree& files) {
    Tree found;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        EXPECT_FALSE(it->is_symlink()) << it->path();
        if (it->is_regular_file())
            found[fs::relative(it->path(), root).string()] = ReadFile(it->path());
    }
    EXPECT_EQ(found, files);
}

Tree TwoFileCabinet(const fs::path& cab) {
    const Tree files = {
        {"hello.c",
         "#include <stdio.h>\n\nint main(void)\n{\n  printf(\"Hello, world!\\n\");\n  return 0;\n}\n"},
        {"welcome.c",
         "#include <stdio.h>\n\nint main(void)\n{\n  printf(\"Welcome!\\n\");\n  return 0;\n}\n\n"}};
    TempDir src;
    for (const auto& [name, bytes] : files)
        WriteFile(src / name, bytes);
    const timespec hello[2] = {{0, UTIME_OMIT}, {LocalTime(1997, 3, 12, 11, 13, 52), 0}};
    const timespec welcome[2] = {{0, UTIME_OMIT}, {LocalTime(1997, 3, 12, 11, 15, 14), 0}};
    utimensat(AT_FDCWD, (src / "hello.c").c_str(), hello, 0);
    utimensat(AT_FDCWD, (src / "welcome.c").c_str(), welcome, 0);
    MakeGcab(cab, src.Path(), {"hello.c", "welcome.c"}, false);
    return files;
}

CabLayout MixedLayout(Tree& files) {
    const Tree stored = {{"readme.txt", "stored in the first folder\n"}, {"sub/dir/deep.txt", "nested\n"}};
    const Tree zipped = {{std::string(251, 'n') + ".txt", "a name of 255 characters\n"},
                         {"data/big.bin", Pattern(100000, 7)},
                         {"empty.txt", ""}};
    CabLayout cab = CabLayout::Read(GcabOf(stored, false));
    cab.Append(CabLayout::Read(GcabOf(zipped, true)));
    files = stored;
    files.insert(zipped.begin(), zipped.end());
    return cab;
}

void MakeSet(const fs::path& folder, Tree& first, Tree& last) {
    first = {{"a.txt", Pattern(1000, 1)}, {"b.bin", Pattern(100000, 2)}};
    last = {{"c.txt", "only in the last part\n"}};
    // gcab stores 32768 bytes a block: b.bin runs from block 0 to block 3.
    std::vector<CabLayout> parts =
        CabLayout::Read(GcabOf(first, false)).SplitSet({1, 3}, {"set1.cab", "set2.cab", "set3.cab"});
    parts[2].Append(CabLayout::Read(GcabOf(last, true)));
    for (std::size_t i = 0; i < parts.size(); ++i)
        WriteFile(folder / ("set" + std::to_string(i + 1) + ".cab"), parts[i].Build());
}

namespace {

void Poke16(std::string& bytes, std::size_t at, unsigned v) {
    bytes[at] = static_cast<char>(v & 0xFF);
    bytes[at + 1] = static_cast<char>(v >> 8);
}

void Poke32(std::string& bytes, std::size_t at, std::uint32_t v) {
    Poke16(bytes, at, v & 0xFFFF);
    Poke16(bytes, at + 2, v >> 16);
}

} // namespace

std::map<std::string, std::string> DamagedCabinets() {
    Tree files;
    const CabLayout good = MixedLayout(files);
    const std::string whole = good.Build();
    // Offsets in a cabinet without reserved areas or set names.
    const std::size_t folders = 36, table = folders + 8 * good.folders.size();
    std::map<std::string, std::string> cabs;
    cabs["bad_signature"] = "MSCE" + whole.substr(4);
    cabs["short_header"] = whole.substr(0, 30);
    cabs["no_file_table"] = whole.substr(0, table + 10);
    const auto dataStart =
        static_cast<unsigned char>(whole[folders]) | static_cast<unsigned char>(whole[folders + 1]) << 8;
    cabs["no_data"] = whole.substr(0, dataStart);
    std::string edited = whole;
    Poke16(edited, 26, 0);
    cabs["no_folders"] = edited;
    edited = whole;
    Poke16(edited, 28, 0);
    cabs["no_files"] = edited;
    edited = whole;
    Poke16(edited, table + 8, 9); // the first file's folder
    cabs["folder_index_out_of_range"] = edited;
    edited = whole;
    Poke32(edited, table, 0x7FFFFFFF); // the first file's size
    cabs["file_beyond_its_folder"] = edited;
    edited = whole;
    Poke32(edited, 16, static_cast<std::uint32_t>(whole.size() + 100));
    cabs["file_table_beyond_end"] = edited;
    edited = whole;
    Poke32(edited, folders + 8, static_cast<std::uint32_t>(whole.size() + 100)); // second folder's data
    cabs["data_beyond_end"] = edited;
    // A deflate block of the reserved type, unchecked: only the decoder can tell.
    CabLayout undecodable = good;
    CabLayout::Block& block = undecodable.folders[1].blocks[0];
    block.checksum = 0;
    block.data = std::string("CK\x07", 3) + block.data.substr(3);
    cabs["mszip_undecodable"] = undecodable.Build();
    return cabs;
}
