#include "port/port.h"
#include "programming_run.h"

// The program takes no arguments; whatever is on the command line is ignored.
int main() {
  prepare_platform();
  return programming_run();
}
