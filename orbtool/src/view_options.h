#pragma once
// The views of a conversion or a still: layout, mount direction, size and
// per-viewport overrides, turned into the converter's parameter record.
#include <libOrbVideoConverter/ISS_OrbVideoConverter.h>

#include <string>

#include "args.h"

namespace orb::tool {

// Reads --layout, --mount, --size, --bitrate and every --view v:p,y,r,zoom
// (repeatable) from `args` into `params`. False with an "error: ..." line.
bool fill_view_params(const Args& args, ConverterInitParams& params, std::string& error);

// The calibration for `media`: --calib, else the first "*.inf" file in the
// video's directory; empty, with an "error:" line on stderr, when none.
std::string find_calibration(const Args& args, const std::string& media);

// "MM:SS" or plain seconds.
bool parse_time(const std::string& text, int& seconds);

}  // namespace orb::tool
