#include "picture/PictureFormats.h"

// The Windows program reads the formats of the Qt plugins deployed with it.
void RegisterPictureFormats() {}
