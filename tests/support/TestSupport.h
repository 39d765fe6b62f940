#pragma once
// Helpers shared by the tests: where the source tree and the corpus are, scratch folders,
// and running outside programs that judge what the system wrote.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace testsupport {

inline std::filesystem::path EnvPath(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return std::filesystem::path(v && *v ? v : fallback);
}

#ifndef BRIVANE_SOURCE_DIR_DEFAULT
#define BRIVANE_SOURCE_DIR_DEFAULT "."
#endif
#ifndef BRIVANE_CORPUS_DIR_DEFAULT
#define BRIVANE_CORPUS_DIR_DEFAULT "../shared/corpus"
#endif

inline std::filesystem::path SourceDir() {
  return EnvPath("BRIVANE_SOURCE_DIR", BRIVANE_SOURCE_DIR_DEFAULT);
}

// The corpus of real files; empty when it is not there.
inline std::filesystem::path CorpusDir() {
  auto p = EnvPath("BRIVANE_CORPUS_DIR", BRIVANE_CORPUS_DIR_DEFAULT);
  std::error_code ec;
  return std::filesystem::is_directory(p, ec) ? p : std::filesystem::path();
}

#define SKIP_WITHOUT_CORPUS()                                               \
  do {                                                                      \
    if (::testsupport::CorpusDir().empty())                                 \
      GTEST_SKIP() << "the corpus folder of real files is not present";     \
  } while (0)

// A fresh scratch folder, removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("brivane-test-" + std::to_string(rd()));
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec)) break;
    }
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A tenth of a second of silence as a WAV file (8 kHz, mono, 16-bit): a sound that any
// media reader opens.
inline void WriteSilentWav(const std::filesystem::path& p) {
  auto le = [](std::uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
  };
  const std::uint32_t data = 1600;
  WriteFile(p, "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) +
                   le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(data, 4) + std::string(data, '\0'));
}

// Runs a shell command and returns its standard output; status receives the exit code.
inline std::string Run(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

inline bool HaveTool(const std::string& name) {
  int status = 0;
  Run("command -v " + name + " >/dev/null 2>&1", &status);
  return status == 0;
}

inline bool HavePython() { return HaveTool("python3"); }

// Runs a python3 program given as text and returns what it printed.
inline std::string Python(const std::string& program, int* status = nullptr) {
  ScratchDir dir;
  auto script = dir / "prog.py";
  WriteFile(script, program);
  return Run("python3 '" + script.string() + "'", status);
}

}  // namespace testsupport
