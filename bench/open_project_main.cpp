// One whole process per project open as the application does it (ProjectDocument::Open keeps
// every job it reads), for timing and peak memory from outside (compare.py), beside
// expat_parse reading and parsing the same file:
//   open_project --generate N out.bva   saves a project of N jobs without inputs
//   open_project file.bva               opens it; prints how many jobs it holds
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/platform/WideText.h"
#include "project/ProjectDocument.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--generate") == 0) {
    ProjectDocument doc;
    const int jobs = std::atoi(argv[2]);
    for (int i = 0; i < jobs; ++i) {
      auto job = std::make_unique<Job>(&doc.jobs);
      job->output = L"/movies/out " + std::to_wstring(i) + L" \u00e9t\u00e9 & co.swf";
      job->swf_width = static_cast<uint32_t>(320 + i % 640);
      doc.jobs.jobs.push_back(std::move(job));
    }
    return doc.Save(FromNativeString(argv[3])) ? 0 : 1;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s --generate jobs out.bva | file.bva\n", argv[0]);
    return 2;
  }
  ProjectDocument doc;
  if (!doc.Open(FromNativeString(argv[1]))) {
    std::fprintf(stderr, "%s did not open\n", argv[1]);
    return 1;
  }
  std::printf("%zu jobs\n", doc.jobs.jobs.size());
  return 0;
}
