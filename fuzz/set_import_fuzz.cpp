// Fuzzes the import of a shared level set: any bytes as "in.korset", imported into "sets/".
// Besides the sanitizers' own checks, after every input:
// - the answer is one line naming the file;
// - a refusal leaves sets/ empty (no hidden folder of the import, nothing half-written);
// - an import makes exactly one folder in sets/, holding only names a set may hold, each a
//   plain file within its bound, every level one the level reader loads;
// - nothing is written anywhere else.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "FuzzSupport.hpp"
#include "Level/File.hpp"
#include "SetArchive/SetArchive.hpp"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterPrivateDir("kor-fuzz-set-import", argc, argv);
    fs::create_directory("sets");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteInput("in.korset", data, size);
    const SetArchive::Result r = SetArchive::Import("in.korset", "sets");
    if (r.message.empty() || r.message.find('\n') != std::string::npos ||
        r.message.find("in.korset") == std::string::npos) {
        fuzz::Fail("the answer is not one line naming the file: %s", r.message.c_str());
    }
    std::size_t folders = 0;
    for (const fs::directory_entry& set : fs::directory_iterator("sets")) {
        ++folders;
        if (!r.ok || set.path() != fs::path(r.folder) || !set.is_directory() || set.is_symlink()) {
            fuzz::Fail("sets/ holds %s after %s", set.path().c_str(), r.ok ? "an import" : "a refusal");
        }
        std::uint32_t levels = 0;
        for (const fs::directory_entry& file : fs::directory_iterator(set.path())) {
            const std::string name = file.path().filename().string();
            std::uint32_t level = 0;
            if (!SetArchive::IsMemberName(name, level) || !file.is_regular_file() || file.is_symlink()) {
                fuzz::Fail("the new set holds '%s'", name.c_str());
            }
            if (file.file_size() > (level > 0 ? Level::MaxFileBytes : Level::MaxSetInfoBytes)) {
                fuzz::Fail("'%s' is larger than its bound", name.c_str());
            }
            if (level > 0) {
                Level::File loaded;
                const Level::Report report = Level::Read(file.path().string(), loaded);
                if (!report.opened || report.tooFewSections) fuzz::Fail("'%s' does not load", name.c_str());
                ++levels;
            }
        }
        if (levels == 0 || levels != r.levels)
            fuzz::Fail("the new set has %u levels, the answer says %u", levels, r.levels);
        fs::remove_all(set.path());
    }
    if (r.ok && folders != 1) fuzz::Fail("an import made %zu folders", folders);
    for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name != "in.korset" && name != "sets" && name != "data") fuzz::Fail("the import left '%s'", name.c_str());
    }
    return 0;
}
