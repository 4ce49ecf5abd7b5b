// ecf-printer, run as a separate process on the same printer files as this
// process's library: what one sets, the other sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "emulator/ibmfi32.h"
#include "platform/platform.h"
#include "support/sandbox_platform.h"

namespace zel::emu::test {
namespace {

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("ZEL_BUILD_BIN");
    if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
    if (platform::NativeIsWindows()) GTEST_SKIP() << "starts and kills processes through a POSIX shell";
    tool_ = platform::JoinPath(bin, "ecf-printer");
  }

  // Runs the tool; its exit code is 0 (success) or not; its output in out_.
  bool Run(const std::string& arguments) {
    std::string out_file = sandbox_.Path("tool.txt");
    std::string command = "ZEL_SYSTEM_DIR='" + platform::ToSystemPath(sandbox_.SystemDirectory()) +
                          "' '" + platform::ToSystemPath(tool_) + "' " + arguments + " > '" +
                          platform::ToSystemPath(out_file) + "' 2>&1";
    int status = std::system(command.c_str());
    out_.clear();
    platform::Current().ReadWholeFile(out_file, &out_);
    return status == 0;
  }
  std::string Coo() {
    std::string coo(6, ' ');
    EXPECT_EQ(IBM_FI_NumeroCupom(coo.data()), 1);
    return coo;
  }

  zel::test::SandboxPlatform sandbox_;
  std::string tool_;
  std::string out_;
};

TEST_F(ToolTest, IdentityStateCountersTapeResetAndFaults) {
  ASSERT_TRUE(Run("init")) << out_;
  ASSERT_TRUE(Run("x")) << out_;  // a reading printed by the tool
  EXPECT_EQ(Coo(), "000001");

  ASSERT_TRUE(Run("fault power off")) << out_;
  EXPECT_EQ(IBM_FI_VerificaImpressoraLigada(), -6);
  ASSERT_TRUE(Run("fault clear")) << out_;
  EXPECT_EQ(IBM_FI_VerificaImpressoraLigada(), 1);
  ASSERT_TRUE(Run("fault nak next")) << out_;
  EXPECT_EQ(IBM_FI_LeituraX(), -1);
  EXPECT_FALSE(Run("fault paper sideways"));

  ASSERT_TRUE(Run("fault paper near-end")) << out_;
  ASSERT_TRUE(Run("state")) << out_;
  EXPECT_NE(out_.find("IBM ECF-IF EMULADOR"), std::string::npos) << out_;
  EXPECT_NE(out_.find("IB010900000000000001"), std::string::npos) << out_;
  EXPECT_NE(out_.find("coo 000001"), std::string::npos) << out_;
  EXPECT_NE(out_.find("paper near-end"), std::string::npos) << out_;

  ASSERT_TRUE(Run("tape 2")) << out_;  // the reading's last rule and the blank line after it
  EXPECT_EQ(out_, "================================================\n\n");
  ASSERT_TRUE(Run("tape")) << out_;
  EXPECT_NE(out_.find("LEITURA X"), std::string::npos) << out_;

  ASSERT_TRUE(Run("reset")) << out_;
  EXPECT_EQ(Coo(), "000000");
  EXPECT_FALSE(Run("bogus"));
}

TEST_F(ToolTest, StateShowsWhyTheMemoryCannotBeUsedUntilReset) {
  ASSERT_TRUE(Run("init")) << out_;
  ASSERT_TRUE(Run("x")) << out_;
  const std::string memory = platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32.MEM");
  std::string text;
  ASSERT_TRUE(platform::Current().ReadWholeFile(memory, &text));
  size_t coo = text.find("counters=1|");
  ASSERT_NE(coo, std::string::npos);
  ASSERT_TRUE(platform::Current().WriteWholeFile(memory, text.replace(coo, 11, "counters=0|")));

  EXPECT_FALSE(Run("state"));
  EXPECT_NE(out_.find("checksum mismatch"), std::string::npos) << out_;
  EXPECT_NE(out_.find("IBMFI32.MEM"), std::string::npos) << out_;
  EXPECT_FALSE(Run("x"));
  ASSERT_TRUE(Run("reset")) << out_;
  ASSERT_TRUE(Run("state")) << out_;
  EXPECT_NE(out_.find("coo 000000"), std::string::npos) << out_;
}

}  // namespace
}  // namespace zel::emu::test
