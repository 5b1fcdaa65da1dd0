#include <cstdio>

#include "startup/VersionText.h"

int main() {
  std::puts(qPrintable(modMain::VersionTitle()));
  return 0;
}
