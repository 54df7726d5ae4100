// Feeds arbitrary bytes as a cabinet to the extraction (and to the check
// that reads without writing) and aborts when anything appears outside the
// target folder.
#include "MessageBox.h"
#include "cabfiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

struct Sandbox {
    fs::path root, cab, target, sentinel;

    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "quorvel-cabfuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        cab = root / "input.cab";
        target = root / "target";
        sentinel = root / "sentinel.txt";
        std::ofstream(sentinel) << "sentinel";
        SetMessageBoxHandler([](const QString&, const QString&, TMessageKind) {});
    }
    ~Sandbox() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    // Only the input, the target folder and the sentinel may exist beside
    // each other; the sentinel keeps its contents.
    void CheckNothingEscaped() const {
        for (const auto& entry : fs::directory_iterator(root)) {
            const fs::path& p = entry.path();
            if (p != cab && p != target && p != sentinel) {
                std::fprintf(stderr, "written outside the target: %s\n", p.c_str());
                std::abort();
            }
        }
        std::ifstream in(sentinel);
        std::string text;
        in >> text;
        if (text != "sentinel")
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Sandbox box;
    {
        std::ofstream out(box.cab, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directories(box.target);
    TCABFile cab;
    cab.SetCABFile(QString::fromStdString(box.cab.string()));
    cab.SetTargetPath(QString::fromStdString(box.target.string() + "/"));
    cab.VerifyAll();
    cab.ExtractAll();
    box.CheckNothingEscaped();
    std::error_code ec;
    fs::remove_all(box.target, ec);
    return 0;
}
