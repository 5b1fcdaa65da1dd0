#include <QtPlugin>

#include "picture/PictureFormats.h"

// The plugin is linked into the program; this file is, whenever a picture is
// read, so that the plugin's registration is never dropped by the linker.
Q_IMPORT_PLUGIN(PictureFormatsPlugin)

void RegisterPictureFormats() {}
