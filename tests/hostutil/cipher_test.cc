#include "hostutil/cipher.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zel {
namespace {

constexpr std::string_view kAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-.";

const std::string kTexts[] = {
    "",
    "IB0107BR000000012345",
    "123456,78",
    "10,10",
    "0",
    "AAAAAAAAAAAAAAAA",
    "Raz\xE3o Social 'Ltda' * %",
    std::string("a\0b\x01\xFF", 5),
};
const int kKeys[] = {0, 1, 7, 1234, -5, 2147483647, -2147483647 - 1};

TEST(CriptoTest, UncriptoInvertsCriptoForTheSameKey) {
  for (const std::string& text : kTexts) {
    for (int key : kKeys) EXPECT_EQ(Uncripto(Cripto(text, key), key), text) << key;
  }
}

TEST(CriptoTest, KeepsLengthAndAlphabetAndLeavesOtherBytes) {
  for (const std::string& text : kTexts) {
    for (int key : kKeys) {
      std::string out = Cripto(text, key);
      ASSERT_EQ(out.size(), text.size());
      for (size_t i = 0; i < text.size(); ++i) {
        bool in_alphabet = kAlphabet.find(text[i]) != std::string_view::npos;
        if (in_alphabet) {
          EXPECT_NE(kAlphabet.find(out[i]), std::string_view::npos) << text << " " << i;
        } else {
          EXPECT_EQ(out[i], text[i]);
        }
      }
    }
  }
}

TEST(CriptoTest, DeterministicAndKeyDependent) {
  const std::string serial = "IB0107BR000000012345";
  EXPECT_EQ(Cripto(serial, 1234), Cripto(serial, 1234));
  std::set<std::string> outputs;
  for (int key : kKeys) outputs.insert(Cripto(serial, key));
  EXPECT_EQ(outputs.size(), std::size(kKeys));
  EXPECT_NE(Cripto(serial, 1234), serial);
  // Repeated characters do not show through as a repeated pattern.
  std::string repeated = Cripto("AAAAAAAAAAAAAAAA", 1234);
  EXPECT_GT(std::set<char>(repeated.begin(), repeated.end()).size(), 4u);
  // Deciphering with the wrong key does not give the text back.
  EXPECT_NE(Uncripto(Cripto(serial, 1234), 1235), serial);
}

}  // namespace
}  // namespace zel
