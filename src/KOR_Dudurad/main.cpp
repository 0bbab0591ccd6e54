// The KOR Dudurad: program entry.
#include "Console/Console.hpp"
#include "KOR_Dudurad/KOR_Dudurad.hpp"

int main(int argc, char** argv)
{
    Console::Start();
    return KOR_Dudurad::Main(argc, argv);
}
