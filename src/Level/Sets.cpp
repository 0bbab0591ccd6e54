// Level sets: where the player's own sets live.
#include "Level/Sets.hpp"

#include "Files/Files.hpp"

namespace Level {

std::string PlayerSetsFolder()
{
    const std::string player = Files::PlayerFolder();
    return player.empty() ? std::string() : player + "/sets";
}

std::string MyLevelsFolder()
{
    const std::string sets = PlayerSetsFolder();
    return sets.empty() ? std::string() : sets + "/my-levels";
}

}  // namespace Level
