// The operating system's platform: libraries, well-known folders, the clock,
// and the current-platform switch.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace zel::platform {
namespace {

// Sets an environment variable for one scope and restores it afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class PosixPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os_ = MakeNativePlatform();
    root_ = os_->MakeTempDirectory("zel-platform-");
    ASSERT_FALSE(root_.empty());
  }
  void TearDown() override { os_->RemoveTree(root_); }

  std::unique_ptr<Platform> os_;
  std::string root_;
};

std::string BuildBin() {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  return bin != nullptr ? bin : "";
}

TEST_F(PosixPlatformTest, LoadsAWindowsNamedLibraryFromTheExecutableFolder) {
  if (BuildBin().empty()) GTEST_SKIP() << "ZEL_BUILD_BIN not set";
  std::filesystem::copy_file(BuildBin() + "/libzel_runtime.so", root_ + "/libzelcopy.so");

  EXPECT_EQ(os_->OpenLibrary("zelcopy.dll"), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorModNotFound);
  EXPECT_FALSE(os_->LastErrorText().empty());

  os_->SetExecutableDirectory(root_);
  LibraryHandle library = os_->OpenLibrary("zelcopy.dll");
  ASSERT_NE(library, nullptr) << os_->LastErrorText();
  auto is_leap_year =
      reinterpret_cast<bool (*)(int)>(os_->LibrarySymbol(library, "_ZN3zel10IsLeapYearEi"));
  ASSERT_NE(is_leap_year, nullptr);
  EXPECT_TRUE(is_leap_year(2024));
  EXPECT_FALSE(is_leap_year(2026));
  EXPECT_EQ(os_->LibrarySymbol(library, "IBM_FI_NoSuchEntry"), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorProcNotFound);
  os_->CloseLibrary(library);
}

TEST_F(PosixPlatformTest, LibraryNamesWithAFolderAreLoadedFromThatFolderOnly) {
  if (BuildBin().empty()) GTEST_SKIP() << "ZEL_BUILD_BIN not set";
  std::filesystem::copy_file(BuildBin() + "/libzel_runtime.so", root_ + "/libzelcopy.so");
  LibraryHandle library = os_->OpenLibrary(root_ + "\\zelcopy.DLL");
  ASSERT_NE(library, nullptr) << os_->LastErrorText();
  os_->CloseLibrary(library);

  EXPECT_EQ(os_->OpenLibrary(root_ + "\\nofolder\\zelcopy.dll"), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorModNotFound);
  EXPECT_EQ(os_->LibrarySymbol(nullptr, "x"), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorProcNotFound);
  os_->CloseLibrary(nullptr);  // ignored
}

TEST_F(PosixPlatformTest, SystemDirectoryComesFromTheEnvironmentAndIsCreated) {
  struct Case {
    const char* zel_system_dir;
    const char* xdg_config_home;
    const char* home;
    const char* expected;  // relative to the test's folder
  };
  const Case cases[] = {
      {"/sys32", "/xdg", "/home", "/sys32"},
      {"/sys\xC3\xA7\\", "/xdg", "/home", "/sys\xE7"},
      {"", "/xdg", "/home", "/xdg/zel01900"},
      {nullptr, "/xdg", "/home", "/xdg/zel01900"},
      {nullptr, "relative", "/home", "/home/.config/zel01900"},
      {nullptr, nullptr, "/home", "/home/.config/zel01900"},
  };
  for (const Case& c : cases) {
    std::string system = c.zel_system_dir && *c.zel_system_dir ? root_ + c.zel_system_dir : "";
    std::string xdg = c.xdg_config_home == nullptr  ? ""
                      : c.xdg_config_home[0] == '/' ? root_ + c.xdg_config_home
                                                    : c.xdg_config_home;
    std::string home = root_ + c.home;
    ScopedEnvironment e1("ZEL_SYSTEM_DIR", c.zel_system_dir ? system.c_str() : nullptr);
    ScopedEnvironment e2("XDG_CONFIG_HOME", c.xdg_config_home ? xdg.c_str() : nullptr);
    ScopedEnvironment e3("HOME", home.c_str());
    std::string expected = root_ + c.expected;
    EXPECT_EQ(os_->SystemDirectory(), expected);
    EXPECT_TRUE(os_->DirectoryExists(expected)) << expected;
  }
}

TEST_F(PosixPlatformTest, ExecutableDirectoryCanBeOverridden) {
  ScopedEnvironment no_host_dir("ZEL_HOST_DIR", nullptr);
  // The tests run from the build's program folder.
  if (!BuildBin().empty()) {
    EXPECT_EQ(std::filesystem::canonical(os_->ExecutableDirectory()),
              std::filesystem::canonical(BuildBin()));
  }
  {
    ScopedEnvironment host_dir("ZEL_HOST_DIR", "/opt/lum/");
    EXPECT_EQ(os_->ExecutableDirectory(), "/opt/lum");
    os_->SetExecutableDirectory("C:\\Lum\\PDV\\");
    EXPECT_EQ(os_->ExecutableDirectory(), "C:/Lum/PDV");
    os_->SetExecutableDirectory("");
    EXPECT_EQ(os_->ExecutableDirectory(), "/opt/lum");
  }
  EXPECT_EQ(os_->ShortPath("C:\\Arquivos de Programas\\x.ini"), "C:\\Arquivos de Programas\\x.ini");
}

TEST(ProcessTest, ARelativePathIsTakenFromTheCurrentFolder) {
  const std::string here = std::filesystem::current_path().string();
  EXPECT_EQ(AbsolutePath("casa"), here + "/casa");
  EXPECT_EQ(AbsolutePath("casa\\Dados"), here + "/casa\\Dados");
  EXPECT_EQ(AbsolutePath("/opt/lum"), "/opt/lum");
  EXPECT_EQ(AbsolutePath("\\opt"), "\\opt");
  EXPECT_EQ(AbsolutePath(""), "");
}

TEST(PosixClockTest, NowIsTheLocalTime) {
  // A zone three hours behind UTC with no daylight saving, as on the tills.
  ScopedEnvironment zone("TZ", "<-03>3");
  tzset();
  auto os = MakeNativePlatform();
  double unix_seconds =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  TDateTime expected = 25569.0 + unix_seconds / 86400.0 - 3.0 / 24.0;
  TDateTime now = os->Now();
  EXPECT_NEAR(now, expected, 5.0 / 86400.0);
  // Milliseconds are kept, not just whole seconds (two readings 1 ms apart
  // may coincide, so look only at the representation).
  EXPECT_NEAR(now * 86400000.0, std::round(now * 86400000.0), 0.01);
  tzset();
}

class FixedClock : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  TDateTime Now() override { return 46000.5; }
};

TEST(CurrentPlatformTest, SetCurrentSwapsThePlatformAndTheRuntimeClock) {
  ASSERT_EQ(&Current(), &Native());
  FixedClock fixed(&Native());
  SetCurrent(&fixed);
  EXPECT_EQ(&Current(), &fixed);
  EXPECT_EQ(zel::Now(), 46000.5);
  EXPECT_EQ(zel::Date(), 46000.0);
  // Everything not overridden reaches the wrapped platform.
  EXPECT_EQ(Current().ShortPath("a\\b"), "a\\b");
  EXPECT_TRUE(Current().DirectoryExists("/"));
  SetCurrent(nullptr);
  EXPECT_EQ(&Current(), &Native());
  EXPECT_GT(zel::Now(), 46000.5);  // the real clock again (after 09/12/2025)
}

TEST(CurrentPlatformTest, TerminationRequestIsAFlagPerPlatform) {
  auto os = MakeNativePlatform();
  auto other = MakeNativePlatform();
  EXPECT_FALSE(os->TerminationRequested());
  os->ProcessMessages();
  os->RequestTermination();
  EXPECT_TRUE(os->TerminationRequested());
  EXPECT_FALSE(other->TerminationRequested());
}

}  // namespace
}  // namespace zel::platform
