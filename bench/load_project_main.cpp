// One whole process per project load, for timing and peak memory from outside (compare.py),
// beside expat_parse reading and parsing the same file:
//   load_project --generate N out.xml   writes a document of N jobs without inputs
//   load_project file.xml               loads it and reads every job; prints how many
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ProjectFile.h"
#include "framework/platform/WideText.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--generate") == 0)
    return projectfile::Write(FromNativeString(argv[3]), std::atoi(argv[2])) ? 0 : 1;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s --generate jobs out.xml | file.xml\n", argv[0]);
    return 2;
  }
  const int jobs = projectfile::LoadAndReadJobs(FromNativeString(argv[1]));
  if (jobs < 0) {
    std::fprintf(stderr, "%s did not load\n", argv[1]);
    return 1;
  }
  std::printf("%d jobs\n", jobs);
  return 0;
}
