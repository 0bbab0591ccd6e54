// The KOR Dudurad: program entry.
#include "Console/Console.hpp"
#include "KOR_Dudurad/KOR_Dudurad.hpp"

int main()
{
    Console::Start();
    return KOR_Dudurad::Main();
}
