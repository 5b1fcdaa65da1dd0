#pragma once

#include <QString>

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, otherwise ~/.config (a relative value is ignored, as the XDG base
// directory rules say).
QString XdgConfigHome();

// The user's data folder: $XDG_DATA_HOME when it is an absolute path,
// otherwise ~/.local/share.
QString XdgDataHome();
