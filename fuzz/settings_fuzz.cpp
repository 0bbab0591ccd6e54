// Fuzzes the settings file: any bytes as "data/settings.cfg", read and changed by the real
// code. Besides the sanitizers' own checks, after every input:
// - the settings read name no language the game does not know;
// - a file over the bound or with a NUL byte is left byte for byte as it was, and the save
//   says it failed;
// - any other file gets its own line changed and nothing else: the other lines stay, in
//   their order, byte for byte, and exactly one line names the setting, as written; only a
//   file that would grow past the bound is refused (and left as it was);
// - saving the same value again changes nothing.
#include <string>
#include <string_view>
#include <vector>

#include "Console/Language.hpp"
#include "FuzzSupport.hpp"
#include "Settings.hpp"

namespace {

constexpr const char* File = "data/settings.cfg";

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Whether a line names `name` (what stands before its '=', trimmed; comments and blank lines name nothing).
bool Names(std::string_view line, std::string_view name)
{
    const std::string_view t = Trimmed(line);
    return !t.empty() && t.front() != '#' && Trimmed(t.substr(0, t.find('='))) == name;
}

std::vector<std::string_view> Others(std::string_view text, std::string_view name)
{
    std::vector<std::string_view> others;
    for (const std::string_view line : fuzz::Lines(text)) {
        if (!Names(line, name)) others.push_back(line);
    }
    return others;
}

void CheckSave(const char* name, const char* value)
{
    const std::string before = fuzz::ReadBack(File);
    const bool saved = KOR_Dudurad::SaveSetting(name, value, File);
    const std::string after = fuzz::ReadBack(File);
    const std::string line = std::string(name) + " = " + value;
    const std::vector<std::string_view> others = Others(before, name);
    std::size_t grown = line.size() + 1;
    for (const std::string_view other : others) grown += other.size() + 1;
    const bool ours = before.size() <= KOR_Dudurad::MaxSettingsBytes && before.find('\0') == std::string::npos;
    if (!ours || grown > KOR_Dudurad::MaxSettingsBytes) {
        if (saved || after != before)
            fuzz::Fail("%s: a file that is not the game's (or would grow too long) was changed", name);
        return;
    }
    if (!saved) fuzz::Fail("%s: a settings file of %zu bytes was not saved", name, before.size());
    if (Others(after, name) != others) fuzz::Fail("%s: a line the setting does not own changed", name);
    std::size_t own = 0;
    for (const std::string_view l : fuzz::Lines(after)) {
        if (!Names(l, name)) continue;
        ++own;
        if (l != line) fuzz::Fail("%s: its line reads \"%.*s\"", name, static_cast<int>(l.size()), l.data());
    }
    if (own != 1) fuzz::Fail("%s: %zu lines name it", name, own);
    if (!KOR_Dudurad::SaveSetting(name, value, File) || fuzz::ReadBack(File) != after) {
        fuzz::Fail("%s: saving the same value again changed the file", name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterPrivateDir("kor-fuzz-settings", argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteInput(File, data, size);
    const KOR_Dudurad::Settings settings = KOR_Dudurad::LoadSettings(File);
    if (!settings.language.empty() && !Console::KnownLanguage(settings.language)) {
        fuzz::Fail("the language \"%s\" was read, which the game does not know", settings.language.c_str());
    }
    CheckSave("sound", size % 2 == 0 ? "off" : "on");
    CheckSave("language", "en");
    return 0;
}
