// One whole process of expat alone reading and parsing a file: the floor load_project is
// measured against (compare.py). Prints the number of elements.
#include <cstdio>

#include "ExpatAlone.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s file.xml\n", argv[0]);
    return 2;
  }
  const int elements = expatalone::Parse(argv[1]);
  if (elements < 0) return 1;
  std::printf("%d elements\n", elements);
  return 0;
}
