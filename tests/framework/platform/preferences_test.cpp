#include "framework/platform/Preferences.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

#include "framework/platform/FileOps.h"
#include "support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScratchDir;
using testsupport::WriteFile;

// Points $XDG_CONFIG_HOME at a scratch folder for the test's life.
class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("XDG_CONFIG_HOME", (dir_.path() / "config").c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_)
      setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }
  std::filesystem::path File() const { return dir_.path() / "config" / "brivane-test.xml"; }

  ScratchDir dir_;
  std::string old_;
  bool hadOld_ = false;
};

const std::wstring kLongPath = L"/" + std::wstring(299, L'p');
const std::wstring kOddPath = L"/tmp/\U0001F600 line\nbreak & <tag> \"q\" \u00e9";
const uint8_t kBytes[] = {0, 1, 2, 0xFF, 0x80, 0, 'x'};

void WriteSample(Preferences& p) {
  p.SetString(L"long", kLongPath);
  p.SetString(L"odd", kOddPath);
  p.SetString(L"empty", L"");
  p.SetString(L"spaces", L"  ");
  p.SetLong(L"min", INT32_MIN);
  p.SetLong(L"max", INT32_MAX);
  p.SetBool(L"yes", true);
  p.SetBool(L"no", false);
  p.SetData(L"bytes", kBytes, sizeof kBytes);
  p.SetData(L"\u00e9 key", kBytes, 1);
}

// 0 when the store holds exactly the sample; otherwise bit i marks the value i that differs.
int CheckSample(const Preferences& p) {
  std::wstring s;
  int32_t n = 0;
  bool b = false;
  uint8_t buf[16] = {};
  const bool good[] = {
      p.GetString(L"long", s) && s == kLongPath,
      p.GetString(L"odd", s) && s == kOddPath,
      p.GetString(L"empty", s) && s.empty(),
      p.GetString(L"spaces", s) && s == L"  ",
      p.GetLong(L"min", n) && n == INT32_MIN,
      p.GetLong(L"max", n) && n == INT32_MAX,
      p.GetBool(L"yes", b) && b,
      p.GetBool(L"no", b) && !b,
      p.GetData(L"bytes", buf, sizeof buf) == sizeof kBytes && std::memcmp(buf, kBytes, sizeof kBytes) == 0,
      p.GetData(L"\u00e9 key", buf, 1) == 1,
  };
  int bad = 0;
  for (size_t i = 0; i < std::size(good); ++i) bad |= good[i] ? 0 : 1 << i;
  return bad;
}

TEST_F(PreferencesTest, ValuesWrittenReadBackInANewProcess) {
  Preferences p;
  ASSERT_TRUE(p.Open(L"brivane-test", kPrefsCurrentUser));
  WriteSample(p);
  ASSERT_TRUE(p.Close());
  ASSERT_TRUE(std::filesystem::exists(File()));

  const pid_t child = fork();
  if (child == 0) {
    Preferences q;
    _exit(q.Open(L"brivane-test", kPrefsCurrentUser) ? CheckSample(q) : 100);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PreferencesTest, ReadersAndWritersKeepTheirRules) {
  Preferences p;
  EXPECT_FALSE(p.Open(L"brivane-test", 2));
  // A store that is not open keeps nothing, so it takes nothing.
  EXPECT_FALSE(p.SetLong(L"n", 1));
  EXPECT_EQ(p.LastError(), kPrefsErrLongKey);
  EXPECT_FALSE(p.SetString(L"s", std::wstring(1, L'\x01')));
  EXPECT_EQ(p.LastError(), kPrefsErrStringKey);
  EXPECT_FALSE(p.Open(L"a/b", kPrefsCurrentUser));
  EXPECT_FALSE(p.Close());  // nothing open
  ASSERT_TRUE(p.Open(L"brivane-test", kPrefsCurrentUser));
  uint8_t buf[8] = {};
  std::wstring s = L"unchanged";
  EXPECT_FALSE(p.GetString(L"missing", s));
  EXPECT_EQ(s, L"unchanged");
  EXPECT_FALSE(p.Close());  // only read: nothing is written
  EXPECT_FALSE(std::filesystem::exists(File()));

  p.SetData(L"seven", kBytes, 7);
  EXPECT_EQ(p.GetData(L"seven", buf, 6), 0u);
  EXPECT_EQ(p.GetData(L"seven", buf, 7), 7u);
  EXPECT_FALSE(p.SetString(L"", L"x"));
  EXPECT_EQ(p.LastError(), kPrefsErrStringKey);
  EXPECT_FALSE(p.SetString(L"k", std::wstring(1, L'\x01')));
  EXPECT_EQ(p.LastError(), kPrefsErrStringValue);
  EXPECT_FALSE(p.SetLong(L"a\x02", 1));
  EXPECT_EQ(p.LastError(), kPrefsErrLongKey);
  EXPECT_TRUE(p.Remove(L"seven"));
  EXPECT_FALSE(p.Remove(L"seven"));
}

TEST_F(PreferencesTest, DamagedFileIsKeptAsideAndGivesDefaults) {
  const std::string good = [&] {
    Preferences p;
    p.Open(L"brivane-test", kPrefsCurrentUser);
    WriteSample(p);
    p.Close();
    return ReadFile(File());
  }();
  const std::string damaged[] = {
      good.substr(0, good.size() / 2),
      "not xml at all",
      "<?xml version=\"1.0\"?><plist><dict><key>a</key></dict></plist>",
      "<?xml version=\"1.0\"?><preferences><integer key=\"n\">12x</integer></preferences>",
      "<?xml version=\"1.0\"?><preferences><data key=\"d\">A*==</data></preferences>",
  };
  // Each damaged file is kept under a name of its own: a later one never replaces an
  // earlier copy.
  const auto keptAs = [&](size_t i) {
    return File().string() + ".damaged" + (i == 0 ? "" : "-" + std::to_string(i + 1));
  };
  for (size_t i = 0; i < std::size(damaged); ++i) {
    const std::string& bytes = damaged[i];
    SCOPED_TRACE(bytes.substr(0, 40));
    WriteFile(File(), bytes);
    Preferences p;
    ASSERT_TRUE(p.Open(L"brivane-test", kPrefsCurrentUser));
    std::wstring s;
    EXPECT_FALSE(p.GetString(L"long", s));
    EXPECT_FALSE(std::filesystem::exists(File()));
    EXPECT_EQ(ReadFile(keptAs(i)), bytes);
  }
  for (size_t i = 0; i < std::size(damaged); ++i) EXPECT_EQ(ReadFile(keptAs(i)), damaged[i]) << i;

  // However many copies were kept before, a damaged file is moved aside: the newest ten
  // copies stay, the oldest go.
  WriteFile(File().string() + ".damaged", "first");
  for (int i = 2; i <= 1000; ++i) WriteFile(File().string() + ".damaged-" + std::to_string(i), "old");
  WriteFile(File(), "damaged again");
  Preferences p;
  ASSERT_TRUE(p.Open(L"brivane-test", kPrefsCurrentUser));
  EXPECT_EQ(ReadFile(File().string() + ".damaged-1001"), "damaged again");
  const std::string kept = testsupport::Run("cd '" + File().parent_path().string() + "' && ls | sort -V");
  std::string expected;
  for (int i = 992; i <= 1001; ++i) expected += "brivane-test.xml.damaged-" + std::to_string(i) + "\n";
  EXPECT_EQ(kept, expected);

  // However large the numbers grow, later copies are counted and pruned.
  WriteFile(File().string() + ".damaged-999999999999999999", "huge");
  for (int i = 0; i < 12; ++i) {
    WriteFile(File(), "damaged " + std::to_string(i));
    Preferences q;
    ASSERT_TRUE(q.Open(L"brivane-test", kPrefsCurrentUser)) << i;
  }
  EXPECT_EQ(ReadFile(File().string() + ".damaged-1000000000000000011"), "damaged 11");
  EXPECT_EQ(testsupport::Run("cd '" + File().parent_path().string() + "' && ls | wc -l"), "10\n");

  // A number after which the next name would pass 255 bytes: the copies are numbered again
  // from 1, oldest first, and the new one takes the next number.
  WriteFile(File().string() + ".damaged-" + std::string(255 - File().filename().string().size() - 9, '9'), "longest");
  WriteFile(File(), "damaged at the end");
  Preferences r;
  ASSERT_TRUE(r.Open(L"brivane-test", kPrefsCurrentUser));
  EXPECT_EQ(ReadFile(File().string() + ".damaged-10"), "longest");
  EXPECT_EQ(ReadFile(File().string() + ".damaged-11"), "damaged at the end");
  EXPECT_EQ(testsupport::Run("cd '" + File().parent_path().string() + "' && ls | wc -l"), "10\n");

  // Where no kept copy's name fits at all, the damaged file stays where it is: defaults,
  // which no save puts in its place.
  const std::filesystem::path longest = File().parent_path() / (std::string(251, 'n') + ".xml");
  WriteFile(longest, "damaged, nowhere to go");
  Preferences s;
  EXPECT_TRUE(s.Open(std::wstring(251, L'n').c_str(), kPrefsCurrentUser));
  EXPECT_TRUE(s.SetLong(L"n", 1));
  EXPECT_FALSE(s.Close());
  EXPECT_EQ(ReadFile(longest), "damaged, nowhere to go");

  // Whatever the names' length, every damaged file is moved aside and the newest copies
  // stay, in the order of their numbers: ten where ".damaged-99" fits, nine where only
  // ".damaged" to ".damaged-9" do.
  for (const auto& [length, oldest] : {std::pair{240, 121}, std::pair{241, 122}}) {
    SCOPED_TRACE(length);
    const std::filesystem::path folder = dir_.path() / ("names" + std::to_string(length));
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    const std::wstring domain(length, L'd');
    const std::filesystem::path file = folder / (std::string(length, 'd') + ".xml");
    for (int i = 1; i <= 130; ++i) {
      WriteFile(file, "damaged " + std::to_string(i));
      Preferences t;
      ASSERT_TRUE(t.Open(domain.c_str(), kPrefsCurrentUser));
      ASSERT_FALSE(std::filesystem::exists(file)) << i;
    }
    std::string expected;
    for (int i = oldest; i <= 130; ++i) expected += "damaged " + std::to_string(i) + "\n";
    EXPECT_EQ(testsupport::Run("cd '" + folder.string() + "' && for f in $(ls | sort -V); do cat $f; echo; done"),
              expected);
  }
}

// Processes starting at the same moment on one damaged file all open (one of them keeps
// the file aside, the others find it gone: defaults), and the file is kept once.
TEST_F(PreferencesTest, ProcessesStartingTogetherOnADamagedFileAllOpen) {
  for (int trial = 0; trial < 30; ++trial) {
    SCOPED_TRACE(trial);
    std::filesystem::remove_all(dir_.path() / "config");
    std::filesystem::create_directories(dir_.path() / "config");
    WriteFile(File(), "<?xml version=\"1.0\"?><preferences><integer key=\"n\">12x");
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t children[3];
    for (pid_t& child : children) {
      child = fork();
      if (child == 0) {
        close(go[1]);
        char c;
        if (read(go[0], &c, 1) != 0) _exit(3);  // waits until the pipe is closed
        Preferences p;
        int32_t n = 0;
        _exit(p.Open(L"brivane-test", kPrefsCurrentUser) ? (p.GetLong(L"n", n) ? 2 : 0) : 1);
      }
    }
    close(go[0]);
    close(go[1]);
    for (pid_t child : children) {
      int status = -1;
      waitpid(child, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(testsupport::Run("cd '" + File().parent_path().string() + "' && ls"), "brivane-test.xml.damaged\n");
  }
}

// An open that finds no file while a recovery holds it aside under the folder's lock waits
// for the lock and reads the file put back: an empty store read meanwhile would save over it.
TEST_F(PreferencesTest, AnOpenWhileTheFileIsAsideReadsItOnceItIsBack) {
  Preferences p;
  ASSERT_TRUE(p.Open(L"brivane-test", kPrefsCurrentUser));
  p.SetLong(L"n", 5);
  ASSERT_TRUE(p.Close());
  const std::string aside = File().string() + ".damaged";
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  // Forked before the lock is taken: a child would share its descriptor, and the lock.
  const pid_t child = fork();
  if (child == 0) {
    close(go[1]);
    char c;
    if (read(go[0], &c, 1) != 0) _exit(3);
    Preferences q;
    int32_t n = 0;
    _exit(q.Open(L"brivane-test", kPrefsCurrentUser) && q.GetLong(L"n", n) && n == 5 ? 0 : 1);
  }
  close(go[0]);
  int status = -1;
  {
    const FolderLock lock(File().parent_path().string() + "/");
    ASSERT_EQ(rename(File().c_str(), aside.c_str()), 0);
    close(go[1]);
    // Until the child waits for the lock (a waiter in /proc/locks) or has ended.
    const std::string waiter = " " + std::to_string(child) + " ";
    const auto start = std::chrono::steady_clock::now();
    while (waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
      std::istringstream locks(ReadFile("/proc/locks"));
      std::string line;
      bool waiting = false;
      while (std::getline(locks, line)) waiting |= line.find("->") != std::string::npos && line.find(waiter) != std::string::npos;
      if (waiting) break;
      usleep(1000);
    }
    rename(aside.c_str(), File().c_str());
  }
  if (status == -1) waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// One process opening a freshly damaged file again and again while another saves good
// preferences: every Open and save of both succeeds, and no well-formed file is ever kept
// aside as damaged.
TEST_F(PreferencesTest, AGoodFileSavedWhileADamagedOneIsKeptIsNeverKeptAsDamaged) {
  std::filesystem::create_directories(dir_.path() / "config");
  const std::string temp = File().string() + ".tmp";
  pid_t children[2];
  for (int i = 0; i < 2; ++i) {
    if ((children[i] = fork()) != 0) continue;
    for (int round = 0; round < 1000; ++round) {
      if (i == 1) {  // the one that damages the file
        WriteFile(temp, "<?xml version=\"1.0\"?><preferences><integer key=\"n\">12x");
        if (rename(temp.c_str(), File().c_str()) != 0) _exit(3);
      }
      Preferences p;
      if (!p.Open(L"brivane-test", kPrefsCurrentUser) || (i == 0 && !(p.SetLong(L"n", round) && p.Close()))) _exit(1);
      // Under the folder's lock, which a recovery holds while it moves a file aside and back.
      const int folder = open(File().parent_path().c_str(), O_RDONLY | O_DIRECTORY);
      if (folder < 0 || flock(folder, LOCK_SH) != 0) _exit(4);
      for (const auto& entry : std::filesystem::directory_iterator(File().parent_path()))
        if (entry.path().string().find(".damaged") != std::string::npos &&
            ReadFile(entry.path()).find("</preferences>") != std::string::npos)
          _exit(2);
      close(folder);
    }
    _exit(0);
  }
  for (pid_t child : children) {
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << (child == children[0] ? "saver " : "damager ") << status;
  }
}

// A file that is there but cannot be read is not damaged: Open fails, nothing is moved, and
// nothing can be written over it.
TEST_F(PreferencesTest, UnreadableFileFailsToOpenAndIsLeftAsItIs) {
  enum Kind { Folder, Pipe, NoReadPermission };
  for (Kind kind : {Folder, Pipe, NoReadPermission}) {
    SCOPED_TRACE(kind);
    std::filesystem::remove_all(dir_.path() / "config");
    std::filesystem::create_directories(dir_.path() / "config");
    std::filesystem::permissions(dir_.path() / "config", std::filesystem::perms(0755));
    if (kind == Folder) std::filesystem::create_directory(File());
    if (kind == Pipe) {
      ASSERT_EQ(mkfifo(File().c_str(), 0600), 0);
    }
    if (kind == NoReadPermission) {
      WriteFile(File(), "<?xml version=\"1.0\"?><preferences></preferences>");
      std::filesystem::permissions(File(), std::filesystem::perms::none);
    }
    // Root reads every file: the store is opened by a child that is not root.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      alarm(20);  // a pipe opened for reading waits for a writer
      if (kind == NoReadPermission && getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
      Preferences p;
      if (p.Open(L"brivane-test", kPrefsCurrentUser)) _exit(1);
      p.SetLong(L"n", 1);
      _exit(p.Close() ? 2 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child hung or crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const auto type = std::filesystem::symlink_status(File()).type();
    EXPECT_EQ(type, kind == Folder ? std::filesystem::file_type::directory
                    : kind == Pipe ? std::filesystem::file_type::fifo
                                   : std::filesystem::file_type::regular);
    if (kind == NoReadPermission) {
      std::filesystem::permissions(File(), std::filesystem::perms(0600));
      EXPECT_EQ(ReadFile(File()), "<?xml version=\"1.0\"?><preferences></preferences>");
    }
    EXPECT_FALSE(std::filesystem::exists(File().string() + ".damaged"));
  }
}

// What the store writes it reads back: a value its file could not carry is refused when it
// is set, and the largest value it takes comes back whole.
TEST_F(PreferencesTest, ValuesTooLargeForTheFileAreRefusedWhenSet) {
  struct Case {
    const char* name;
    std::function<bool(Preferences&, size_t)> set;  // a value of the given size
    std::function<bool(const Preferences&, size_t)> check;
    size_t tooLarge;
    int32_t error;
  };
  const Case cases[] = {
      {"data",
       [](Preferences& p, size_t n) { return p.SetData(L"v", std::string(n, 'd').data(), n); },
       [](const Preferences& p, size_t n) {
         std::string back(n, '\0');
         return p.GetData(L"v", back.data(), n) == n && back == std::string(n, 'd');
       },
       13u << 20, kPrefsErrDataValue},
      {"CJK text",  // written as eight-byte references
       [](Preferences& p, size_t n) { return p.SetString(L"v", std::wstring(n, L'\u4e2d')); },
       [](const Preferences& p, size_t n) {
         std::wstring back;
         return p.GetString(L"v", back) && back == std::wstring(n, L'\u4e2d');
       },
       6000000, kPrefsErrStringValue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(dir_.path() / "config");
    Preferences p;
    ASSERT_TRUE(p.Open(L"brivane-test", kPrefsCurrentUser));
    ASSERT_TRUE(p.SetLong(L"other", 5));
    EXPECT_FALSE(c.set(p, c.tooLarge));
    EXPECT_EQ(p.LastError(), c.error);
    // The largest value taken.
    size_t low = 0, high = c.tooLarge;
    while (low + 1 < high) {
      const size_t mid = (low + high) / 2;
      (c.set(p, mid) ? low : high) = mid;
    }
    ASSERT_GT(low, 1000000u);
    ASSERT_TRUE(c.set(p, low));
    ASSERT_TRUE(p.Close());
    Preferences q;
    ASSERT_TRUE(q.Open(L"brivane-test", kPrefsCurrentUser));
    EXPECT_TRUE(c.check(q, low));
    EXPECT_FALSE(std::filesystem::exists(File().string() + ".damaged"));
    // Nothing more fits beside it.
    EXPECT_FALSE(q.SetString(L"more", L"x"));
    EXPECT_TRUE(q.Remove(L"other"));
    EXPECT_TRUE(q.SetString(L"more", L"x"));
  }
}

TEST_F(PreferencesTest, FailedSaveLeavesTheOldFile) {
  Preferences p;
  ASSERT_TRUE(p.Open(L"brivane-test", kPrefsCurrentUser));
  WriteSample(p);
  ASSERT_TRUE(p.Close());
  const std::string before = ReadFile(File());
  ASSERT_TRUE(p.Open(L"brivane-test", kPrefsCurrentUser));
  p.SetString(L"long", L"/changed");
  p.FailWritesAfter(20);
  EXPECT_FALSE(p.Close());
  EXPECT_EQ(p.LastError(), kPrefsErrSync);
  EXPECT_EQ(ReadFile(File()), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(File().parent_path()),
                          std::filesystem::directory_iterator{}),
            1);  // no temporary file left behind
}

TEST_F(PreferencesTest, SharedDomainIsReadOnly) {
  const auto shared = dir_.path() / "xdg";
  std::filesystem::create_directories(shared);
  WriteFile(shared / "brivane-test.xml",
            "<?xml version=\"1.0\"?><preferences><integer key=\"n\">-7</integer></preferences>");
  setenv("XDG_CONFIG_DIRS", ("relative:" + shared.string()).c_str(), 1);
  Preferences p;
  ASSERT_TRUE(p.Open(L"brivane-test", kPrefsAnyUser));
  unsetenv("XDG_CONFIG_DIRS");
  int32_t n = 0;
  EXPECT_TRUE(p.GetLong(L"n", n));
  EXPECT_EQ(n, -7);
  p.SetLong(L"n", 1);
  EXPECT_FALSE(p.Close());
  EXPECT_EQ(p.LastError(), kPrefsErrSync);
}

}  // namespace
