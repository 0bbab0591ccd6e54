// The KOR Dudurad: program entry.
#include <cstdio>
#include <string_view>

#include "Console/Console.hpp"
#include "KOR_Dudurad/KOR_Dudurad.hpp"

int main(int argc, char** argv)
{
    // For the launcher, which has no escaper of its own: each text as the console shows
    // it, one to a line. Not a player's option, so not in the usage.
    if (argc >= 2 && std::string_view(argv[1]) == "--printable") {
        for (int i = 2; i < argc; ++i) {
            std::printf("%s\n", Console::Printable(argv[i]).c_str());
        }
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    Console::Start();
    return KOR_Dudurad::Main(argc, argv);
}
