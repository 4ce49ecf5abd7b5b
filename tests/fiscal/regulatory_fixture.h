// Common set-up of the fiscal-menu file tests: the core fixture plus an
// IBMFI32.INI whose Path is the sandbox's vendor folder, and helpers for the
// host's folders and the files the vendor library leaves.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/core_fixture.h"

namespace zel::test {

// A sandbox whose "IBMFI32.dll" is the set of vendor fakes, so that an
// operation that starts the driver again binds the fakes again; every other
// library loads as usual (the real signing library among them).
class FiscalMenuSandbox : public SandboxPlatform {
 public:
  platform::LibraryHandle OpenLibrary(const std::string& name) override {
    opened.push_back(name);
    if (name == "IBMFI32.dll") return kFakeLibrary;
    return SandboxPlatform::OpenLibrary(name);
  }
  void* LibrarySymbol(platform::LibraryHandle library, const std::string& name) override {
    if (library != kFakeLibrary) return SandboxPlatform::LibrarySymbol(library, name);
    auto it = symbols.find(name);
    return it == symbols.end() ? nullptr : it->second;
  }
  void CloseLibrary(platform::LibraryHandle library) override {
    if (library != kFakeLibrary) SandboxPlatform::CloseLibrary(library);
  }
  // A failure aimed at one file: a call on a path that ends with `path_end`
  // fails with `code` and leaves the file as it was, as the system's own
  // failures of these calls do. An empty `path_end` aims at nothing.
  struct AimedFailure {
    std::string path_end;
    int code = 0;
    bool Hits(const std::string& path) const {
      return !path_end.empty() && path.size() >= path_end.size() &&
             path.compare(path.size() - path_end.size(), path_end.size(), path_end) == 0;
    }
  };
  AimedFailure fail_atomic_write;  // WriteFileAtomically
  AimedFailure fail_rename;        // RenameFile, aimed at the new name
  AimedFailure fail_remove;        // RemoveFile
  // Runs before each RenameFile (another till at work meanwhile).
  std::function<void(const std::string& to)> before_rename;

  bool WriteFileAtomically(const std::string& path, const std::string& data) override {
    if (fail_atomic_write.Hits(path)) return Fail(fail_atomic_write.code);
    return SandboxPlatform::WriteFileAtomically(path, data);
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    if (before_rename) before_rename(to);
    if (fail_rename.Hits(to)) return Fail(fail_rename.code);
    return SandboxPlatform::RenameFile(from, to);
  }
  bool RemoveFile(const std::string& path) override {
    if (fail_remove.Hits(path)) return Fail(fail_remove.code);
    return SandboxPlatform::RemoveFile(path);
  }

  // Starts of the driver seen so far.
  int VendorLoads() const {
    int loads = 0;
    for (const std::string& name : opened) loads += name == "IBMFI32.dll" ? 1 : 0;
    return loads;
  }

  static inline const platform::LibraryHandle kFakeLibrary =
      reinterpret_cast<platform::LibraryHandle>(static_cast<uintptr_t>(0x5100));
  std::map<std::string, void*> symbols;
  std::vector<std::string> opened;

 private:
  bool Fail(int code) {
    SetLastErrorCode(code);
    return false;
  }
};

class RegulatoryTest : public CoreTestWith<FiscalMenuSandbox> {
 protected:
  RegulatoryTest() {
    for (const IbmEntryPoint& entry : kIbmEntryPoints) {
      sandbox_.symbols[entry.name] = entry.address();
    }
    // The printer's clock agrees with the computer's, so a start of the
    // driver asks nothing.
    fake_.Answer("IBM_FI_DataHoraImpressora", 1, "101226", "100000");
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
    std::string folder = path.substr(0, path.find_last_of("\\/"));
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
