// The program's entry point.
#include "core/globals.h"
#include "platform/shell.h"

int main(int argc, const char** argv) {
  MACIBM_init(argc, argv);
  MACIBM_finishup(1);
  return 0;
}
