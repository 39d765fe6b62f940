#pragma once
// The floor of the load benchmarks: expat alone reading and parsing a file, as a plain
// program would (one read into a buffer of the file's size), counting the elements.
#include <expat.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace expatalone {

// The number of elements; -1 when the file cannot be read or parsed.
inline int Parse(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0) return -1;
  std::string bytes;
  bool read = ::fstat(fd, &st) == 0;
  if (read) {
    bytes.resize(static_cast<size_t>(st.st_size));
    read = ::read(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  ::close(fd);
  if (!read) return -1;
  XML_Parser parser = XML_ParserCreate(nullptr);
  int elements = 0;
  XML_SetUserData(parser, &elements);
  XML_SetStartElementHandler(parser, [](void* data, const XML_Char*, const XML_Char**) {
    ++*static_cast<int*>(data);
  });
  const bool parsed = XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return parsed ? elements : -1;
}

}  // namespace expatalone
