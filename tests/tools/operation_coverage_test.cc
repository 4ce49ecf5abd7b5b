// The reference host's operation table against the host interface: every
// function the driver's headers declare at file level is callable by name,
// so that an operation added to the interface cannot be left out of the
// tools and tests that walk the table.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "host/operations.h"
#include "platform/platform.h"

namespace ecf {
namespace {

// Declared in the headers but not operations a host calls: the data module's
// constructor helper.
const std::set<std::string> kNotOperations = {"EnsureDataModule"};

std::string ReadHeader(const std::string& name) {
  std::string text;
  EXPECT_TRUE(zel::platform::Native().ReadWholeFile(ECF_INCLUDE_DIR "/" + name, &text)) << name;
  return text;
}

// The headers the interface header includes, and the names of the functions
// each declares at file level (lines that start in the first column).
std::set<std::string> DeclaredFunctions() {
  static const std::regex kInclude(R"re(^#include "(zel01900/[A-Za-z0-9_]+\.h)")re");
  static const std::regex kDeclaration(R"re(^[A-Za-z_][^(]*?[\s*&]([A-Za-z_][A-Za-z0-9_]*)\()re");
  static const std::regex kNotDeclaration(
      R"(^(using|struct|class|extern|namespace|typedef|inline|static|template)\b)");
  std::set<std::string> names;
  std::istringstream top(ReadHeader("zel01900/zel01900.h"));
  for (std::string line; std::getline(top, line);) {
    std::smatch include;
    if (!std::regex_search(line, include, kInclude)) continue;
    std::istringstream header(ReadHeader(include[1]));
    for (std::string decl; std::getline(header, decl);) {
      std::smatch match;
      if (std::regex_search(decl, kNotDeclaration)) continue;
      if (std::regex_search(decl, match, kDeclaration)) names.insert(match[1]);
    }
  }
  return names;
}

TEST(OperationCoverageTest, EveryDeclaredOperationIsInTheTable) {
  const std::set<std::string> declared = DeclaredFunctions();
  // A sanity floor: the scan found the interface.
  ASSERT_GT(declared.size(), 60u);
  for (const std::string& name : declared) {
    if (kNotOperations.count(name) != 0) continue;
    EXPECT_EQ(Operations().count(name), 1u) << name << " is declared but not in Operations()";
  }
  for (const auto& [name, operation] : Operations()) {
    EXPECT_EQ(declared.count(name), 1u) << name << " is in Operations() but not declared";
  }
}

}  // namespace
}  // namespace ecf
