// The player library as the applications link it: two C functions.
#include <libOrbPlayer/ISS_OrbPlayer.h>

#include <common/paths.h>
#include <gtest/gtest.h>

#include "exported_symbols.h"

namespace {

TEST(PlayerLibrary, ExportsOnlyItsFactoryFunctions) {
  std::vector<std::string> symbols =
      orb::test::exported_functions((orb::executable_dir() / "libOrbPlayer.so").string());
  std::sort(symbols.begin(), symbols.end());
  EXPECT_EQ(symbols, (std::vector<std::string>{"CreateOrbPlayer", "DestroyOrbPlayer"}));
}

TEST(PlayerLibrary, CreatesAndDestroysPlayers) {
  EXPECT_EQ(DestroyOrbPlayer(nullptr), 0);
  ISS_OrbPlayer* player = CreateOrbPlayer();
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(player->IsPlaying(), 0);
  EXPECT_EQ(player->Stop(), 0);
  EXPECT_EQ(DestroyOrbPlayer(player), 0);
}

}  // namespace
