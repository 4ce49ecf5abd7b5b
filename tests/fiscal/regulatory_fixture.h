// Common set-up of the fiscal-menu file tests: the core fixture plus an
// IBMFI32.INI whose Path is the sandbox's vendor folder, and helpers for the
// host's folders and the files the vendor library leaves.
#pragma once

#include <string>

#include "core/core_fixture.h"

namespace zel::test {

class RegulatoryTest : public CoreTest {
 protected:
  RegulatoryTest() {
    sandbox_.MakeDirectory(VendorFolder());
    WriteIni();
  }

  std::string VendorFolder() { return sandbox_.Path("vendor"); }
  std::string HostFolder() { return sandbox_.ExecutableDirectory(); }
  std::string HostPath(const std::string& relative) {
    return platform::JoinPath(HostFolder(), relative);
  }
  void WriteIni() {
    sandbox_.WriteWholeFile(platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32.INI"),
                            "[Sistema]\r\nPath=" + VendorFolder() + "\r\n");
  }
  void RemoveIni() {
    sandbox_.RemoveFile(platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32.INI"));
  }
  // Writes `content` into `path`, making its folder first.
  void Put(const std::string& path, const std::string& content) {
    std::string folder = path.substr(0, path.find_last_of('/'));
    sandbox_.MakeDirectory(folder);
    ASSERT_TRUE(sandbox_.WriteWholeFile(path, content));
  }
  std::string Read(const std::string& path) {
    std::string content;
    sandbox_.ReadWholeFile(path, &content);
    return content;
  }
  bool Exists(const std::string& path) { return sandbox_.FileExists(path); }
};

}  // namespace zel::test
