#pragma once
// The entry of orbtool's module of picture commands (play, calibrate,
// inspect, render), found with dlsym: the command's exit code.

inline constexpr const char* kViewsModuleFile = "orbtool_views.so";
inline constexpr const char* kViewsModuleEntry = "orbtool_views_main";
using ViewsModuleMain = int (*)(const char* command, int argc, char** argv);
