#pragma once
// Angles of a viewport as the player keeps them: whole degrees in
// -180..179, then clamped to the viewport's limits.
namespace orb::player {

struct AngleLimits {
  float min = -180;
  float max = 180;
};

float normalise_angle(float angle_deg, AngleLimits limits);

}  // namespace orb::player
