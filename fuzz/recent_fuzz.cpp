// Fuzzes the level editor's list of recent files: any bytes as the list, read and saved by
// the real code. Besides the sanitizers' own checks, after every input:
// - what is read is at most ten paths, each absolute, printable, not over PATH_MAX and
//   named once, in the order a plain reading of the file finds them;
// - a list over its bound is left byte for byte as it was, and the save says it failed;
// - any other list is saved with the new file first, then the paths read (without it), ten
//   at most, below the player's printable comment lines, in their order;
// - what is saved reads back as the list the save returned, and saving the same file
//   again changes nothing.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.hpp"
#include "Recent.hpp"

namespace {

constexpr const char* File = "lists/editor-recent.txt";
constexpr const char* Newest = "/levels/new.txt";

// A plain reading of the list: its paths and its comment lines.
void Expected(const std::string& text, std::vector<std::string>& paths, std::vector<std::string>& comments)
{
    for (const std::string_view view : fuzz::Lines(text)) {
        const std::string line(view);
        if (line.starts_with('#')) {
            if (Editor::PrintableLine(line)) comments.push_back(line);
        } else if (line.starts_with('/') && line.size() <= Editor::MostPath && Editor::PrintableLine(line) &&
                   std::find(paths.begin(), paths.end(), line) == paths.end() && paths.size() < Editor::MostRecent) {
            paths.push_back(line);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterPrivateDir("kor-fuzz-recent", argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::filesystem::create_directories("lists");
    fuzz::WriteInput(File, data, size);
    const std::string before = fuzz::ReadBack(File);
    std::vector<std::string> list = Editor::ReadRecent(File);
    std::vector<std::string> paths, comments;
    Expected(before, paths, comments);
    const bool tooLarge = size > Editor::RecentBytes;
    if (tooLarge ? !list.empty() : list != paths) fuzz::Fail("the list read is not the file's paths in their order");

    const bool saved = Editor::SaveRecent(File, Newest, list);
    const std::string after = fuzz::ReadBack(File);
    if (tooLarge) {
        if (saved || after != before) fuzz::Fail("a list too large to read was changed");
        return 0;
    }
    if (!saved) fuzz::Fail("a list of %zu bytes was not saved", size);
    std::vector<std::string> merged{Newest};
    for (const std::string& p : paths)
        if (p != Newest && merged.size() < Editor::MostRecent) merged.push_back(p);
    std::vector<std::string_view> want(comments.begin(), comments.end());
    want.insert(want.end(), merged.begin(), merged.end());
    if (fuzz::Lines(after) != want || (!after.empty() && after.back() != '\n'))
        fuzz::Fail("the saved list is not the comments, the new file and the old paths");
    if (list != merged || Editor::ReadRecent(File) != merged) fuzz::Fail("the list saved does not read back");
    if (!Editor::SaveRecent(File, Newest, list) || fuzz::ReadBack(File) != after)
        fuzz::Fail("saving the same file again changed the list");
    return 0;
}
