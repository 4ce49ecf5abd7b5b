// A test of the operating system's own platform in a temporary folder of its
// own, made before each test and removed after it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/platform.h"

namespace zel::platform {

class NativeFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os_ = MakeNativePlatform();
    root_ = os_->MakeTempDirectory("zel-native-");
    ASSERT_FALSE(root_.empty()) << os_->LastErrorText();
  }
  void TearDown() override {
    if (!root_.empty()) {
      EXPECT_TRUE(os_->RemoveTree(root_)) << os_->LastErrorText();
    }
  }
  // `relative` inside the test's folder.
  std::string P(const std::string& relative) const { return JoinPath(root_, relative); }
  void Write(const std::string& relative, const std::string& data) {
    ASSERT_TRUE(os_->WriteWholeFile(P(relative), data)) << relative << ": " << os_->LastErrorText();
  }
  std::string Read(const std::string& relative) {
    std::string data;
    EXPECT_TRUE(os_->ReadWholeFile(P(relative), &data)) << relative << ": " << os_->LastErrorText();
    return data;
  }

  std::unique_ptr<Platform> os_;
  std::string root_;
};

}  // namespace zel::platform
