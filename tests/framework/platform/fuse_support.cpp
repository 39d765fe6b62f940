#include "fuse_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

bool Quietly(const std::string& command) {
  int status = -1;
  testsupport::Run(command + " >/dev/null 2>&1", &status);
  return status == 0;
}

}  // namespace

FusePassthrough::FusePassthrough(const fs::path& backing, const fs::path& root, const fs::path& log,
                                 FuseMountOptions options)
    : backing(backing), root(root), log(log), options(std::move(options)) {
  Mount();
}

FusePassthrough::~FusePassthrough() { Unmount(); }

bool FusePassthrough::Mount() {
#ifdef BRIVANE_FUSE_PASSTHROUGH
  struct stat before, now;
  fs::create_directories(root);
  if (geteuid() != 0) {
    why = "needs root to mount a FUSE file system for every user";
  } else if (access("/dev/fuse", R_OK | W_OK) != 0 || stat(root.c_str(), &before) != 0) {
    why = "no /dev/fuse here";
  } else {
    std::string mountOptions = "allow_other,default_permissions,max_threads=8";
    if (options.cacheSeconds >= 0) {
      const std::string seconds = std::to_string(options.cacheSeconds);
      mountOptions += ",attr_timeout=" + seconds + ",entry_timeout=" + seconds;
    }
    if (!options.extra.empty()) mountOptions += "," + options.extra;
    std::vector<const char*> args = {BRIVANE_FUSE_PASSTHROUGH, backing.c_str(), root.c_str(), log.c_str()};
    if (options.useIno) args.push_back("--use-ino");
    if (options.hardRemove) args.push_back("--hard-remove");
    if (!options.renameFlags) args.push_back("--no-rename-flags");
    for (const char* arg : {"-f", "-o", mountOptions.c_str()}) args.push_back(arg);
    args.push_back(nullptr);
    if ((server = fork()) == 0) {
      execv(BRIVANE_FUSE_PASSTHROUGH, const_cast<char* const*>(args.data()));
      _exit(127);
    }
    int status;
    while (!(mounted = stat(root.c_str(), &now) == 0 && now.st_dev != before.st_dev) &&
           waitpid(server, &status, WNOHANG) == 0)
      usleep(1000);
    if (!mounted) {
      why = "the FUSE passthrough did not mount";
      server = -1;
    }
  }
#else
  why = "built without libfuse3 (Debian libfuse3-dev), so without the FUSE passthrough";
#endif
  return mounted;
}

bool FusePassthrough::Remount() {
  Unmount();
  return Mount();
}

void FusePassthrough::Unmount() {
  if (mounted && !Quietly("umount " + Quoted(root))) Quietly("umount -l " + Quoted(root));
  mounted = false;
  if (server > 0) waitpid(server, nullptr, 0);
  server = -1;
}

size_t FusePassthrough::FlushesOf(const std::string& kind, const std::string& part) const {
  std::ifstream in(log);
  size_t n = 0;
  for (std::string line; std::getline(in, line);)
    n += line.starts_with(kind + " /") && line.find(part) != std::string::npos;
  return n;
}
