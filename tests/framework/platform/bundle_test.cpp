#include "framework/platform/Bundle.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include "framework/platform/Preferences.h"
#include "support/ResourceFile.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Utf8.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScratchDir;
using testsupport::WriteFile;

std::string N(const PathString& p) { return toolbox::WideToUtf8(p); }
std::string BundleName() { return toolbox::WideToUtf8(kLinkedAppBundleName); }

// Sets or unsets environment variables for one scope, putting the old values back.
class Env {
 public:
  void Set(const char* name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~Env() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(SupportFolderTest, ProductFolderUnderXdgDataHomeOrItsDefault) {
  ScratchDir dir;
  Env env;
  const std::string home = (dir / "home").string(), data = (dir / "data").string();
  env.Set("HOME", home.c_str());
  fs::create_directories(dir / "home");
  struct Case {
    const char* xdg;
    int32_t code;
    fs::path expected;
  } cases[] = {
      {nullptr, kThisProductCode, dir / "home" / ".local" / "share" / "Orvenna" / "Brivane"},
      {"relative/ignored", 77, dir / "home" / ".local" / "share" / "Orvenna" / "Common"},
      {data.c_str(), kThisProductCode, dir / "data" / "Orvenna" / "Brivane"},
  };
  for (const Case& c : cases) {
    env.Set("XDG_DATA_HOME", c.xdg);
    PathString folder;
    ASSERT_TRUE(GetProductSupportFolder(folder, c.code));
    EXPECT_EQ(fs::path(N(folder)), c.expected / "");
    EXPECT_TRUE(fs::is_directory(c.expected));
  }
  // A file where the maker's folder belongs cannot become a folder.
  const std::string blocked = (dir / "blocked").string();
  env.Set("XDG_DATA_HOME", blocked.c_str());
  fs::create_directories(dir / "blocked");
  WriteFile(dir / "blocked" / "Orvenna", "file");
  PathString folder;
  EXPECT_FALSE(GetProductSupportFolder(folder, kThisProductCode));
}

using testsupport::ResourceFile;

TEST(BundleResourceTest, ResourcesComeFromTheDataFolder) {
  ScratchDir dir;
  toolbox::SetResourcesFolder(dir.str());
  const toolbox::OSType prld = toolbox::MakeOSType("Prld");
  ResourceHandle handle;
  size_t size = 0;
  // Missing "main.rsrc": false every time, and a later call tries again.
  EXPECT_FALSE(GetMainResource(prld, 1000, handle, &size));
  EXPECT_FALSE(GetMainResource(prld, 1000, handle, &size));
  PathString path;
  EXPECT_FALSE(GetBundleResourcePath(path, L"main.rsrc"));
  WriteFile(dir / "main.rsrc", ResourceFile(prld, 1000, "movie bytes"));
  ASSERT_TRUE(GetMainResource(prld, 1000, handle, &size));
  EXPECT_EQ(*handle, "movie bytes");
  EXPECT_EQ(size, 11u);
  EXPECT_FALSE(GetMainResource(prld, 1001, handle, nullptr));
  EXPECT_TRUE(GetResourceFromMainFile(prld, 1000, handle, nullptr));
  EXPECT_TRUE(ReleaseResourceHandle(handle));
  EXPECT_EQ(handle, nullptr);

  EXPECT_TRUE(GetBundleResourcePath(path, L"main.rsrc"));
  EXPECT_EQ(N(path), (dir / "main.rsrc").string());
  EXPECT_FALSE(GetBundleResourcePath(path, L"../" + toolbox::Utf8ToWide(dir.path().filename().string())));
  toolbox::SetResourcesFolder("");
}

TEST(BundleResourceTest, CodeBundlesAndTheCompanionTool) {
  Bundle bundle;
  EXPECT_EQ(bundle.GetFunction("strlen"), nullptr);  // nothing loaded
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&dlopen), &info), 0);
  ASSERT_TRUE(bundle.Load(PathString(toolbox::Utf8ToWide(info.dli_fname))));
  EXPECT_NE(bundle.GetFunction(L"dlopen"), nullptr);
  EXPECT_EQ(bundle.GetFunction("no_such_function_here"), nullptr);
  bundle.Unload();
  EXPECT_FALSE(bundle.IsLoaded());
  EXPECT_FALSE(bundle.Load(L"/no/such/bundle"));

  ScratchDir dir;
  Env env;
  // The preferences of the companion tool sit in the default config folder ~/.config.
  env.Set("XDG_CONFIG_HOME", nullptr);
  env.Set("HOME", dir.str().c_str());
  PathString found;
  EXPECT_FALSE(ReadLinkedAppPath(found));
  fs::create_directories(dir / "apps" / BundleName());
  Preferences prefs;
  ASSERT_TRUE(prefs.Open(kLinkedAppDomain, kPrefsCurrentUser));
  prefs.SetString(kLinkedAppPathKey, toolbox::Utf8ToWide((dir / "apps" / "Protect").string()));
  ASSERT_TRUE(prefs.Close());
  EXPECT_TRUE(fs::exists(dir / ".config" / (toolbox::WideToUtf8(kLinkedAppDomain) + ".xml")));
  ASSERT_TRUE(FindLinkedAppBundle(found));
  EXPECT_EQ(fs::path(N(found)), dir / "apps" / BundleName());
}

}  // namespace
