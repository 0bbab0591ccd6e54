// A set shared as one file: exported and imported again byte for byte, and one table of
// hostile archives, each of which must leave the player's folder as it was (besides the new
// set where one is right) with nothing half-written anywhere.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <utime.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "SetArchive/SetArchive.hpp"
#include "TempDir.hpp"

namespace {

namespace fs = std::filesystem;

const std::string Level1 =
    "* A first flight\n[Ball]\nPosition_X = 300\nRadius = 50\n[Ball]\nPosition_X = -300\nRadius = 12\n";
const std::string Level2 = "[Ball]\nRadius = 40\n[Ball]\nPosition_X = -200\nRadius = 12\nMass = 1\n";

// One member of a hand-made archive.
struct Member {
    Member(std::string n, std::string b, unsigned t = AE_IFREG, std::string l = {})
        : name(std::move(n)), bytes(std::move(b)), type(t), link(std::move(l))
    {
    }
    std::string name;
    std::string bytes;
    unsigned type;
    std::string link;  // a symbolic link's target, or a hard link's (type AE_IFREG)
};

std::string Tar(const std::vector<Member>& members)
{
    std::string out;
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_open(
        a, &out, nullptr,
        [](archive*, void* data, const void* block, size_t length) -> la_ssize_t {
            static_cast<std::string*>(data)->append(static_cast<const char*>(block), length);
            return static_cast<la_ssize_t>(length);
        },
        nullptr);
    for (const Member& m : members) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.c_str());
        archive_entry_set_filetype(e, m.type);
        archive_entry_set_perm(e, 0644);
        if (m.type == AE_IFLNK) archive_entry_set_symlink(e, m.link.c_str());
        if (m.type == AE_IFREG && !m.link.empty()) archive_entry_set_hardlink(e, m.link.c_str());
        if (m.type == AE_IFCHR) archive_entry_set_rdev(e, makedev(1, 3));
        archive_entry_set_size(e, m.type == AE_IFREG && m.link.empty() ? static_cast<la_int64_t>(m.bytes.size()) : 0);
        EXPECT_EQ(archive_write_header(a, e), ARCHIVE_OK) << m.name;
        if (!m.bytes.empty()) archive_write_data(a, m.bytes.data(), m.bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

// The first member's header says it holds `size` bytes (its checksum made right again).
std::string Declared(std::string tar, unsigned long long size)
{
    std::snprintf(tar.data() + 124, 12, "%011llo", size);
    std::memset(tar.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i) sum += static_cast<unsigned char>(tar[i]);
    std::snprintf(tar.data() + 148, 8, "%06o", sum);
    return tar;
}

// Every file and folder under root with its bytes (folders and links marked).
std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        tree[rel] = e.is_symlink() ? "link" : e.is_directory() ? "folder" : ReadFile(e.path());
    }
    return tree;
}

TEST(SetArchive, HostileArchivesChangeNothingAndATakenNameGetsANewOne)
{
    const std::string tooMany = [] {
        std::vector<Member> m;
        for (int n = 1; n <= 10000; ++n)
            m.push_back({"level-" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".txt", Level1});
        return Tar(m);
    }();
    const std::string good = Tar({{"set.txt", "Mijn set\n"}, {"level-01.txt", Level1}, {"level-02.txt", Level2}});
    struct Case {
        const char* what;
        std::string archive;
        const char* newSet;  // the folder it must make, or null: refused
    } cases[] = {
        {"a path escape", Tar({{"level-01.txt", Level1}, {"../level-02.txt", Level2}}), nullptr},
        {"a deeper path escape", Tar({{"../../outside/level-01.txt", Level1}}), nullptr},
        {"an absolute name", Tar({{"/tmp/level-01.txt", Level1}}), nullptr},
        {"a sub-folder", Tar({{"sub/level-01.txt", Level1}}), nullptr},
        {"a name a set does not hold", Tar({{"level-01.txt", Level1}, {"highscores.dat", "1\r\n"}}), nullptr},
        {"a level number spelled otherwise", Tar({{"level-1.txt", Level1}}), nullptr},
        {"a symbolic link", Tar({{"level-01.txt", "", AE_IFLNK, "../../outside/secret"}}), nullptr},
        {"a hard link", Tar({{"level-01.txt", Level1}, {"level-02.txt", "", AE_IFREG, "level-01.txt"}}), nullptr},
        {"a hard link out", Tar({{"level-01.txt", "", AE_IFREG, "/etc/passwd"}}), nullptr},
        {"a device", Tar({{"level-01.txt", Level1}, {"level-02.txt", "", AE_IFCHR}}), nullptr},
        {"a FIFO", Tar({{"level-01.txt", "", AE_IFIFO}}), nullptr},
        {"a folder", Tar({{"level-01.txt", "", AE_IFDIR}}), nullptr},
        {"the same name twice", Tar({{"level-01.txt", Level1}, {"level-01.txt", Level2}}), nullptr},
        {"10,000 members", tooMany, nullptr},
        {"a 2 GB member", Declared(Tar({{"level-01.txt", Level1}}), 1ULL << 31), nullptr},
        {"a member longer than its archive", Declared(Tar({{"level-01.txt", Level1}}), 100000), nullptr},
        {"cut in a member", good.substr(0, 512 * 3 + 40), nullptr},
        {"cut in a header", good.substr(0, 512 * 2 + 100), nullptr},
        {"a level that does not load", Tar({{"level-01.txt", Level1}, {"level-02.txt", "* no bodies\n"}}), nullptr},
        {"no level", Tar({{"set.txt", "Leeg\n"}}), nullptr},
        {"set.txt with NUL bytes", Tar({{"set.txt", std::string("a\0b", 3)}, {"level-01.txt", Level1}}), nullptr},
        {"a level over 1 MiB", Tar({{"level-01.txt", Level1 + "*" + std::string(1 << 20, 'x') + "\n"}}), nullptr},
        {"no archive", std::string(4096, 'x'), nullptr},
        {"compressed", std::string("\x1f\x8b\x08\x00", 4) + std::string(600, '\0'), nullptr},
        {"empty", "", nullptr},
        {"a name that exists", good, "Mine (2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedWorkDir work;
        WriteFile("outside/secret", "mine");
        WriteFile("home/sets/Mine/level-01.txt", Level2);
        WriteFile("Mine.korset", c.archive);
        const auto before = Tree(work.dir);
        const SetArchive::Result r = SetArchive::Import("Mine.korset", "home/sets");
        EXPECT_EQ(r.ok, c.newSet != nullptr) << r.message;
        EXPECT_NE(r.message.find("Mine.korset"), std::string::npos) << r.message;
        EXPECT_EQ(r.message.find('\n'), std::string::npos);
        auto after = Tree(work.dir);
        if (c.newSet != nullptr) {
            const std::string set = std::string("home/sets/") + c.newSet;
            EXPECT_EQ(r.folder, set);
            EXPECT_EQ(after[set + "/level-02.txt"], Level2);
            EXPECT_EQ(after[set + "/set.txt"], "Mijn set\n");
            std::erase_if(after, [&](const auto& f) { return f.first.starts_with(set); });
        }
        EXPECT_EQ(after, before);
    }
}

TEST(SetArchive, ExportedSetsComeBackByteForByteAndTheSameSetGivesTheSameFile)
{
    ScopedWorkDir work;
    const std::string level3 = ReadFile(KOR_DATA_DIR "/level-03.txt");
    WriteFile("a/sets/Mine/level-01.txt", Level1);
    WriteFile("a/sets/Mine/level-02.txt", Level2);
    WriteFile("a/sets/Mine/level-10.txt", level3);
    WriteFile("a/sets/Mine/set.txt", "Mijn levels\nik\n");
    // The set's own files stay home.
    WriteFile("a/sets/Mine/highscores.dat", "5\r\n");
    WriteFile("a/sets/Mine/progress.txt", "1\n");
    WriteFile("a/sets/Mine/level-01.txt.tmp-1-1", "half");

    const SetArchive::Result out = SetArchive::Export("a/sets/Mine", "Mine.korset");
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.levels, 3u);
    const std::string first = ReadFile("Mine.korset");
    ::utime("a/sets/Mine/level-02.txt", nullptr);
    ::chmod("a/sets/Mine/level-02.txt", 0600);
    ASSERT_TRUE(SetArchive::Export("a/sets/Mine", "again.korset").ok);
    EXPECT_EQ(ReadFile("again.korset"), first);

    const SetArchive::Result in = SetArchive::Import("Mine.korset", "b/sets");
    ASSERT_TRUE(in.ok) << in.message;
    EXPECT_EQ(in.levels, 3u);
    EXPECT_EQ(Tree("b/sets"), (std::map<std::string, std::string>{{"Mine", "folder"},
                                                                  {"Mine/level-01.txt", Level1},
                                                                  {"Mine/level-02.txt", Level2},
                                                                  {"Mine/level-10.txt", level3},
                                                                  {"Mine/set.txt", "Mijn levels\nik\n"}}));

    // A set with a level that does not load is not shared, and no file is left.
    WriteFile("a/sets/Mine/level-11.txt", "* nothing yet\n");
    const SetArchive::Result broken = SetArchive::Export("a/sets/Mine", "broken.korset");
    EXPECT_FALSE(broken.ok);
    EXPECT_NE(broken.message.find("level-11.txt"), std::string::npos) << broken.message;
    EXPECT_FALSE(fs::exists("broken.korset"));
}

TEST(SetArchive, NamesASetHolds)
{
    std::uint32_t n = 7;
    const struct {
        const char* name;
        std::uint32_t level;  // 0 with `ok` false: refused
        bool ok;
    } rows[] = {{"set.txt", 0, true},         {"level-01.txt", 1, true},    {"level-999.txt", 999, true},
                {"level-100.txt", 100, true}, {"level-00.txt", 0, false},   {"level-1.txt", 0, false},
                {"level-001.txt", 0, false},  {"level-1000.txt", 0, false}, {"./level-01.txt", 0, false},
                {"level-01.txt/", 0, false},  {"level-+1.txt", 0, false},   {"Level-01.txt", 0, false}};
    for (const auto& row : rows) {
        EXPECT_EQ(SetArchive::IsMemberName(row.name, n), row.ok) << row.name;
        if (row.ok) {
            EXPECT_EQ(n, row.level) << row.name;
        }
    }
    EXPECT_TRUE(SetArchive::IsArchiveName("/x/My set.korset"));
    EXPECT_FALSE(SetArchive::IsArchiveName("/x/.korset"));
    EXPECT_FALSE(SetArchive::IsArchiveName("level-01.txt"));
}

}  // namespace
