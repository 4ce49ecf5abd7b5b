// Path texts: joining, separators and encoding, library names.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace zel::platform {
namespace {

// The native separator: '\\' on Windows, '/' elsewhere.
std::string Sep() { return NativeIsWindows() ? "\\" : "/"; }

TEST(JoinPathTest, JoinsWithOneNativeSeparator) {
  struct Case {
    const char* directory;
    const char* name;
    std::string expected;
  };
  const Case cases[] = {
      {"/var/lum", "impdebug1226.txt", "/var/lum" + Sep() + "impdebug1226.txt"},
      {"/var/lum/", "a.txt", "/var/lum/a.txt"},
      {"C:\\Lum\\", "a.txt", "C:\\Lum\\a.txt"},
      {"", "a.txt", "a.txt"},
      {"/", "etc", "/etc"},
      {"Dados",
       "Redu\xE7\xF5"
       "es",
       "Dados" + Sep() + "Redu\xE7\xF5" + "es"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JoinPath(c.directory, c.name), c.expected) << c.directory << " + " << c.name;
  }
}

TEST(SystemPathTest, WindowsTakesTheTextAsItIsWithBackslashes) {
  if (!NativeIsWindows()) GTEST_SKIP() << "the POSIX form is checked below";
  EXPECT_EQ(ToSystemPath("Dados/Redu\xE7\xF5"
                         "es\\x.cds"),
            "Dados\\Redu\xE7\xF5"
            "es\\x.cds");
  EXPECT_EQ(FromSystemPath("C:\\Redu\xE7\xF5"
                           "es"),
            "C:\\Redu\xE7\xF5"
            "es");
  EXPECT_EQ(SystemLibraryName("C:\\Lum\\IBMFI32.dll"), "C:\\Lum\\IBMFI32.dll");
}

TEST(SystemPathTest, BackslashesBecomeSlashesAndTextBecomesUtf8) {
  if (NativeIsWindows()) GTEST_SKIP() << "POSIX only; Windows is checked above";
  EXPECT_EQ(ToSystemPath("Dados\\Redu\xE7\xF5"
                         "es\\x.cds"),
            "Dados/Redu\xC3\xA7\xC3\xB5"
            "es/x.cds");
  EXPECT_EQ(ToSystemPath("Arquivos Bin\xE1rios/a"), "Arquivos Bin\xC3\xA1rios/a");
  EXPECT_EQ(FromSystemPath("/tmp/Redu\xC3\xA7\xC3\xB5"
                           "es"),
            "/tmp/Redu\xE7\xF5"
            "es");
  // A character the driver's texts cannot hold arrives as '?'.
  EXPECT_EQ(FromSystemPath("/tmp/\xE2\x86\x92x"), "/tmp/?x");
}

TEST(SystemLibraryNameTest, MapsWindowsLibraryNames) {
  if (NativeIsWindows()) GTEST_SKIP() << "Windows takes the names as they are (checked above)";
  struct Case {
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {"IBMFI32.dll", "libIBMFI32.so"},
      {"sign_bema.DLL", "libsign_bema.so"},
      {"C:\\Lum\\IBMFI32.Dll", "C:\\Lum\\libIBMFI32.so"},
      {"/opt/x/IBMFI32.dll", "/opt/x/libIBMFI32.so"},
      {"libm.so.6", "libm.so.6"},
      {".dll", ".dll"},
      {"IBMFI32", "IBMFI32"},
  };
  for (const Case& c : cases) EXPECT_EQ(SystemLibraryName(c.name), c.expected) << c.name;
}

}  // namespace
}  // namespace zel::platform
