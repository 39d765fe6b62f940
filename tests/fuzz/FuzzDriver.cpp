// A small stand-alone fuzzing driver for compilers without libFuzzer (g++). It calls the
// target's LLVMFuzzerTestOneInput with each seed once, then with random mutations of the
// seeds until a time or run limit is reached. It takes the libFuzzer options it needs:
//   fuzz_<name> [-max_total_time=S] [-runs=N] [-seed=N] [-max_len=N] [file or folder]...
// Without a limit it only runs the seeds (to reproduce a crash file). An input that
// crashes the target is written to "crash-<pid>" in the working folder first.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" __attribute__((weak)) void __sanitizer_set_death_callback(void (*callback)(void));

namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t* volatile g_current = nullptr;
volatile size_t g_currentSize = 0;
char g_crashName[64];

void SaveCurrentInput() {
  static volatile sig_atomic_t saved = 0;
  if (saved || !g_current) return;
  saved = 1;
  const int fd = ::open(g_crashName, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  size_t done = 0;
  while (done < g_currentSize) {
    const ssize_t n = ::write(fd, g_current + done, g_currentSize - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  const char msg[] = "fuzz: the crashing input was saved as ";
  (void)!::write(2, msg, sizeof msg - 1);
  (void)!::write(2, g_crashName, std::strlen(g_crashName));
  (void)!::write(2, "\n", 1);
}

void OnFatalSignal(int sig) {
  SaveCurrentInput();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

bool ReadInput(const std::filesystem::path& p, Bytes& out) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

class Mutator {
 public:
  Mutator(uint64_t seed, size_t maxLen) : rng_(seed), maxLen_(maxLen) {}

  size_t Below(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }

  void Mutate(Bytes& b, const std::vector<Bytes>& corpus) {
    const size_t rounds = 1 + Below(4);
    for (size_t r = 0; r < rounds; ++r) MutateOnce(b, corpus);
    if (b.size() > maxLen_) b.resize(maxLen_);
  }

 private:
  void MutateOnce(Bytes& b, const std::vector<Bytes>& corpus) {
    static const uint8_t kInteresting[] = {0, 1, 0x7F, 0x80, 0xFF, 0xC0, 0xED, 0xEF, 0xF4, 0xF8,
                                           '<', '>', '&', ';', '#', 'x', '"', '\'', '=', '/',
                                           '!', '?', '[', ']', '-', ' ', '\n', '\t', '0', '9'};
    switch (Below(b.empty() ? 2 : 8)) {
      case 0: {  // insert random bytes
        const size_t n = 1 + Below(8);
        const size_t at = Below(b.size() + 1);
        Bytes add(n);
        for (auto& x : add) x = static_cast<uint8_t>(Below(256));
        b.insert(b.begin() + static_cast<ptrdiff_t>(at), add.begin(), add.end());
        break;
      }
      case 1: {  // insert a piece of another input
        const Bytes& other = corpus[Below(corpus.size())];
        if (other.empty()) break;
        const size_t from = Below(other.size());
        const size_t n = 1 + Below(std::min<size_t>(other.size() - from, 64));
        const size_t at = Below(b.size() + 1);
        b.insert(b.begin() + static_cast<ptrdiff_t>(at), other.begin() + static_cast<ptrdiff_t>(from),
                 other.begin() + static_cast<ptrdiff_t>(from + n));
        break;
      }
      case 2: b[Below(b.size())] ^= static_cast<uint8_t>(1u << Below(8)); break;
      case 3: b[Below(b.size())] = static_cast<uint8_t>(Below(256)); break;
      case 4: b[Below(b.size())] = kInteresting[Below(sizeof kInteresting)]; break;
      case 5: {  // erase a range
        const size_t at = Below(b.size());
        const size_t n = 1 + Below(std::min<size_t>(b.size() - at, 16));
        b.erase(b.begin() + static_cast<ptrdiff_t>(at), b.begin() + static_cast<ptrdiff_t>(at + n));
        break;
      }
      case 6: {  // repeat a range
        const size_t at = Below(b.size());
        const size_t n = 1 + Below(std::min<size_t>(b.size() - at, 32));
        const Bytes piece(b.begin() + static_cast<ptrdiff_t>(at), b.begin() + static_cast<ptrdiff_t>(at + n));
        const size_t times = 1 + Below(8);
        for (size_t t = 0; t < times; ++t)
          b.insert(b.begin() + static_cast<ptrdiff_t>(at), piece.begin(), piece.end());
        break;
      }
      default: {  // cut the end off
        b.resize(Below(b.size() + 1));
        break;
      }
    }
  }

  std::mt19937_64 rng_;
  size_t maxLen_;
};

int RunOne(const Bytes& input) {
  g_current = input.data();
  g_currentSize = input.size();
  const int rc = LLVMFuzzerTestOneInput(input.data(), input.size());
  g_current = nullptr;
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  double seconds = 0;
  long long runs = -1;
  uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  size_t maxLen = 4096;
  std::vector<Bytes> corpus;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&](const char* prefix) -> const char* {
      return a.rfind(prefix, 0) == 0 ? a.c_str() + std::strlen(prefix) : nullptr;
    };
    if (const char* v = value("-max_total_time=")) {
      seconds = std::atof(v);
    } else if (const char* v = value("-runs=")) {
      runs = std::atoll(v);
    } else if (const char* v = value("-seed=")) {
      seed = std::strtoull(v, nullptr, 10);
    } else if (const char* v = value("-max_len=")) {
      maxLen = static_cast<size_t>(std::max(1LL, std::atoll(v)));
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "fuzz: ignoring option %s\n", a.c_str());
    } else {
      std::error_code ec;
      if (std::filesystem::is_directory(a, ec)) {
        for (const auto& e : std::filesystem::directory_iterator(a, ec)) {
          Bytes b;
          if (e.is_regular_file(ec) && ReadInput(e.path(), b)) corpus.push_back(std::move(b));
        }
      } else {
        Bytes b;
        if (!ReadInput(a, b)) {
          std::fprintf(stderr, "fuzz: cannot read %s\n", a.c_str());
          return 2;
        }
        corpus.push_back(std::move(b));
      }
    }
  }
  if (corpus.empty()) corpus.emplace_back();

  std::snprintf(g_crashName, sizeof g_crashName, "crash-%ld", static_cast<long>(::getpid()));
  for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL}) ::signal(sig, OnFatalSignal);
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(SaveCurrentInput);

  const auto begun = std::chrono::steady_clock::now();
  long long done = 0;
  for (const Bytes& b : corpus) {
    RunOne(b);
    ++done;
  }
  const bool limited = seconds > 0 || runs >= 0;
  if (limited) {
    std::fprintf(stderr, "fuzz: seed %llu, %zu seed inputs\n", static_cast<unsigned long long>(seed),
                 corpus.size());
    Mutator mutator(seed, maxLen);
    const auto start = std::chrono::steady_clock::now();
    const size_t seedCount = corpus.size();
    for (;;) {
      if (runs >= 0 && done >= runs) break;
      if (seconds > 0 && (done & 63) == 0 &&
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= seconds)
        break;
      Bytes input = corpus[mutator.Below(corpus.size())];
      mutator.Mutate(input, corpus);
      RunOne(input);
      ++done;
      // Now and then keep a mutant so that mutations can build on each other.
      if (mutator.Below(64) == 0) {
        if (corpus.size() < seedCount + 512)
          corpus.push_back(std::move(input));
        else
          corpus[seedCount + mutator.Below(512)] = std::move(input);
      }
    }
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  std::fprintf(stderr, "fuzz: %lld inputs run in %.1f s (%.0f a second), no crash\n", done, elapsed,
               elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0);
  return 0;
}
