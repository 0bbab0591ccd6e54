#include "Console/Console.hpp"

namespace Console {

const char* Tr(const char* dutch)
{
    return dutch;
}

}  // namespace Console
