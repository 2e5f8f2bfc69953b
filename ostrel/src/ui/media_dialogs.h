#pragma once
// The file-type filters of the open dialogs.
#include <QString>

namespace ostrel {

// Movie files, music files, all files.
QString media_dialog_filters();

}  // namespace ostrel
