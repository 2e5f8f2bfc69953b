// The library's only exported symbols.
#include "player_impl.h"

extern "C" ISS_OrbPlayer* CreateOrbPlayer() {
  try {
    return new orb::player::ISS_OrbPlayerImpl();
  } catch (...) {
    return nullptr;
  }
}

extern "C" int DestroyOrbPlayer(ISS_OrbPlayer* player) {
  delete player;
  return 0;
}
