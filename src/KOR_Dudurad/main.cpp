// The KOR Dudurad: program entry.
#include "KOR_Dudurad/KOR_Dudurad.hpp"

int main() { return KOR_Dudurad::Main(); }
