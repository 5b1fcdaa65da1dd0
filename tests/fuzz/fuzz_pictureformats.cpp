// The program's own picture readers (HEIF and AVIF through libheif, JPEG XL
// through libjxl), fuzzed as fuzz_picture.cpp fuzzes Qt's: whatever bytes
// such a file holds, the display box draws a picture or the error line. The
// first byte picks the extension and the view mode.
#define ZV_FUZZ_EXTENSIONS "heic", "avif", "jxl"
#include "fuzz_picture.cpp"
