#pragma once
// Where a fuzz target that reads its input from a file keeps that file: in memory
// (/dev/shm) where the system offers it, else in the temporary folder. Writing each input
// to a disk file and reading it back would take about half of the target's time.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

// A mkstemp pattern for a scratch file named after `name`.
inline std::string FuzzScratchPattern(const char* name) {
  std::string folder;
  struct stat info;
  if (::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && ::access("/dev/shm", W_OK | X_OK) == 0) {
    folder = "/dev/shm";
  } else {
    const char* tmp = std::getenv("TMPDIR");
    folder = tmp && *tmp ? tmp : "/tmp";
  }
  return folder + "/" + name + "-XXXXXX";
}

// The scratch file named after `name`, made at the first call and removed when the process
// exits: each call leaves exactly these bytes in it and gives its path.
inline const std::string& FuzzScratchWrite(const char* name, const uint8_t* data, size_t size) {
  static std::string path;
  static int fd = -1;
  if (fd < 0) {
    path = FuzzScratchPattern(name);
    fd = ::mkstemp(path.data());
    if (fd < 0) std::abort();
    std::atexit([] { ::unlink(path.c_str()); });
  }
  if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  return path;
}
