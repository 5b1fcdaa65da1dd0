#pragma once

#include <QIcon>

// The program's icon, 16 and 32 pixels, from the icon files installed with
// it: beside the executable's share folder first (any install prefix, and
// the build folder), then the user's and the system's data folders. An
// icon that is not found is left out; the window then has the platform's.
QIcon LoadWindowIcon();
