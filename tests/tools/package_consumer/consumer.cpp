// A program of someone else's, built against the installed package: both
// libraries create and destroy their objects, and the shared result codes
// read the same through either header.
#include <libOrbPlayer/ISS_OrbPlayer.h>
#include <libOrbVideoConverter/ISS_OrbVideoConverter.h>

#include <cstdio>

int main() {
  ISS_OrbPlayer* player = CreateOrbPlayer();
  ISS_OrbVideoConverter* converter = CreateOrbVideoConverter();
  if (!player || !converter) return 1;
  TimeParts duration{};
  player->GetDuration(&duration);
  const int stopped = player->Stop();
  DestroyOrbVideoConverter(converter);
  DestroyOrbPlayer(player);
  std::printf("linked: %s\n", orb_result_text(stopped));
  return stopped == ORB_OK ? 0 : 1;
}
