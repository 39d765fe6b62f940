// Times the recursive copy beside `cp -a` followed by `sync -f` of the same tree, in turn in
// one run: a tree of 2,000 small files (200 B to 4 KB in 20 folders) and, with --large, one
// large file. Both end with the copy on the disk, so the ratio is what keeping the copy's
// promise costs over the plain copy and one flush of the file system.
// Usage: tree_copy FOLDER [ROUNDS (default 5)] [--large MiB]
// FOLDER is where the trees are made and copied: on the disk to be measured.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framework/platform/TreeCopy.h"
#include "toolbox/Utf8.h"

namespace {

namespace fs = std::filesystem;

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void MakeSmallTree(const fs::path& root) {
  std::mt19937 random(43);
  std::uniform_int_distribution<int> size(200, 4096), byte(0, 255);
  for (int folder = 0; folder < 20; ++folder) {
    const fs::path dir = root / ("folder" + std::to_string(folder));
    fs::create_directories(dir);
    for (int file = 0; file < 100; ++file) {
      std::string bytes(static_cast<size_t>(size(random)), '\0');
      for (char& c : bytes) c = static_cast<char>(byte(random));
      Write(dir / ("file" + std::to_string(file) + ".dat"), bytes);
    }
  }
}

void MakeLargeFile(const fs::path& root, size_t mib) {
  fs::create_directories(root);
  std::mt19937_64 random(43);
  std::string block(1 << 20, '\0');
  std::ofstream out(root / "large.bin", std::ios::binary);
  for (size_t i = 0; i < mib; ++i) {
    for (size_t k = 0; k < block.size(); k += 8) {
      const uint64_t v = random();
      std::memcpy(&block[k], &v, 8);
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Seconds of one run of `copy`, from a destination emptied and a file system flushed.
double Time(const fs::path& destination, const std::function<bool()>& copy) {
  fs::remove_all(destination);
  fs::create_directories(destination);
  Shell("sync -f " + Quote(destination));
  const auto start = std::chrono::steady_clock::now();
  if (!copy()) {
    std::fprintf(stderr, "a copy into %s failed\n", destination.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Compare(const char* what, const fs::path& folder, const fs::path& source, int rounds) {
  const fs::path byCp = folder / "dst-cp", byCopy = folder / "dst-copy";
  std::vector<double> cp, copy;
  for (int round = 0; round < rounds; ++round) {
    cp.push_back(Time(byCp, [&] {
      return Shell("cp -a " + Quote(source) + " " + Quote(byCp) + "/ && sync -f " + Quote(byCp));
    }));
    copy.push_back(Time(byCopy, [&] {
      const PathString from(toolbox::Utf8ToWide(source.string())), into(toolbox::Utf8ToWide(byCopy.string()));
      return CopyPath(from, into, nullptr, 0, nullptr);
    }));
  }
  const double c = Median(cp), ours = Median(copy);
  std::printf("%-12s cp -a + sync -f %8.1f ms   CopyPath %8.1f ms   ratio %.2f\n", what, c * 1000, ours * 1000,
              ours / c);
  fs::remove_all(byCp);
  fs::remove_all(byCopy);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [ROUNDS] [--large MiB]\n", argv[0]);
    return 2;
  }
  const fs::path folder = fs::absolute(argv[1]) / "tree_copy_bench";
  int rounds = 5;
  size_t largeMib = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--large") == 0 && i + 1 < argc)
      largeMib = std::strtoul(argv[++i], nullptr, 10);
    else
      rounds = std::max(1, std::atoi(argv[i]));
  }
  fs::remove_all(folder);
  MakeSmallTree(folder / "src" / "tree");
  if (largeMib) MakeLargeFile(folder / "src" / "large", largeMib);
  Shell("sync -f " + Quote(folder));
  Compare("2,000 files", folder, folder / "src" / "tree", rounds);
  if (largeMib) Compare((std::to_string(largeMib) + " MiB").c_str(), folder, folder / "src" / "large", rounds);
  fs::remove_all(folder);
  return 0;
}
