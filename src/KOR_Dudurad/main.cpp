// The KOR Dudurad: program entry.
#include "KOR_Dudurad/KOR_Dudurad.hpp"

int main(int argc, char** argv) { return KOR_Dudurad::Main(argc, argv); }
