// The signing library: EAD lines that validate, that stop validating when the
// file changes, and that an outside RSA tool reads back as the fiscal rules'
// block (0x10 and the MD5 of the signed bytes).
#include "signer/ead.h"

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fiscal/ead_key.h"
#include "signer/sign_bema.h"
#include "support/sandbox_platform.h"

namespace {

using zel::fiscal::kEadModulus;
using zel::fiscal::kEadPrivateExponent;
using zel::fiscal::kEadPublicExponent;

class SignerTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    std::string path = sandbox_.Path(name);
    EXPECT_TRUE(zel::platform::Current().WriteWholeFile(path, content));
    return path;
  }
  std::string Read(const std::string& path) {
    std::string content;
    EXPECT_TRUE(zel::platform::Current().ReadWholeFile(path, &content));
    return content;
  }
  int32_t Sign(const std::string& path, char* buffer = nullptr, int32_t append = 1) {
    return generateEAD(path.c_str(), kEadModulus, kEadPrivateExponent, buffer, append);
  }
  int32_t Validate(const std::string& path) {
    return validateFile(path.c_str(), kEadModulus, kEadPublicExponent);
  }

  zel::test::SandboxPlatform sandbox_;
};

bool IsUpperHex(const std::string& s) {
  return s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

TEST_F(SignerTest, AppendsOneEadLineThatValidates) {
  const std::string body = "E01 first record\r\nE02 second record\r\n";
  std::string path = Write("Leitura.txt", body);
  std::string buffer(256, ' ');
  ASSERT_EQ(Sign(path, buffer.data()), 1);

  std::string signed_file = Read(path);
  ASSERT_EQ(signed_file.size(), body.size() + 3 + 256 + 2);
  EXPECT_EQ(signed_file.substr(0, body.size()), body);
  EXPECT_EQ(signed_file.substr(body.size(), 3), "EAD");
  EXPECT_EQ(signed_file.substr(body.size() + 3, 256), buffer);
  EXPECT_TRUE(IsUpperHex(buffer));
  EXPECT_EQ(signed_file.substr(signed_file.size() - 2), "\r\n");
  EXPECT_EQ(Validate(path), 1);
}

TEST_F(SignerTest, ALastLineWithoutBreakGetsCrLfBeforeTheEadLine) {
  std::string path = Write("semquebra.txt", "one line without break");
  ASSERT_EQ(Sign(path), 1);
  std::string content = Read(path);
  EXPECT_EQ(content.substr(0, 27), "one line without break\r\nEAD");
  EXPECT_EQ(Validate(path), 1);
}

TEST_F(SignerTest, WithoutAppendTheFileStaysAsItWas) {
  std::string path = Write("x.txt", "abc\r\n");
  std::string buffer(256, ' ');
  ASSERT_EQ(Sign(path, buffer.data(), 0), 1);
  EXPECT_EQ(Read(path), "abc\r\n");
  EXPECT_TRUE(IsUpperHex(buffer));
}

TEST_F(SignerTest, AChangedOrDamagedFileFailsValidation) {
  const std::string body = "E01 0001 record\r\nE02 0002 record\r\n";
  std::string path = Write("a.txt", body);
  ASSERT_EQ(Sign(path), 1);
  const std::string good = Read(path);

  struct Case {
    const char* what;
    std::string content;
    int32_t expected;
  };
  std::string changed_data = good;
  changed_data[5] = '9';
  std::string changed_digit = good;
  size_t digit = body.size() + 3 + 10;
  changed_digit[digit] = changed_digit[digit] == '0' ? '1' : '0';
  std::string lower_case = good;
  for (size_t i = body.size() + 3; i < good.size(); ++i) {
    lower_case[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower_case[i])));
  }
  const Case cases[] = {
      {"a data byte changed", changed_data, kSignMismatch},
      {"a signature digit changed", changed_digit, kSignMismatch},
      {"a line added before the EAD line", body + "E03 added\r\n" + good.substr(body.size()),
       kSignMismatch},
      {"no EAD line", body, kSignNoEadLine},
      {"a short EAD line", good.substr(0, good.size() - 4) + "\r\n", kSignNoEadLine},
      {"the EAD line without its line break", good.substr(0, good.size() - 2), 1},
      {"lower-case digits", lower_case, 1},
  };
  for (const Case& c : cases) {
    std::string other = Write("other.txt", c.content);
    EXPECT_EQ(Validate(other), c.expected) << c.what;
  }
}

TEST_F(SignerTest, AnotherKeyDoesNotValidateAndBadKeysAreRefused) {
  std::string path = Write("b.txt", "abc\r\n");
  ASSERT_EQ(Sign(path), 1);
  char modulus[257];
  char exponent[257];
  ASSERT_EQ(genkkey(modulus, exponent), 1);
  EXPECT_EQ(std::string(modulus).size(), 256u);
  EXPECT_EQ(validateFile(path.c_str(), modulus, "10001"), kSignMismatch);

  // A key made by genkkey signs and validates as well.
  std::string own = Write("c.txt", "def\r\n");
  ASSERT_EQ(generateEAD(own.c_str(), modulus, exponent, nullptr, 1), 1);
  EXPECT_EQ(validateFile(own.c_str(), modulus, "10001"), 1);

  std::string before = Read(own);
  EXPECT_EQ(generateEAD(own.c_str(), "XYZ", kEadPrivateExponent, nullptr, 1), kSignBadKey);
  EXPECT_EQ(generateEAD(own.c_str(), "FFFF", kEadPrivateExponent, nullptr, 1), kSignBadKey);
  EXPECT_EQ(Read(own), before) << "a refused signature leaves the file as it was";
  EXPECT_EQ(generateEAD(sandbox_.Path("missing.txt").c_str(), kEadModulus, kEadPrivateExponent,
                        nullptr, 1),
            kSignFileError);
  EXPECT_EQ(generateEAD(nullptr, kEadModulus, kEadPrivateExponent, nullptr, 1), kSignBadArgument);
  EXPECT_EQ(setLibType(1), 1);
  EXPECT_EQ(setLibType(2), kSignUnknownKind);
}

// The tax office's side: decrypt the signature with the committed public key
// using OpenSSL, and find 0x10 and the MD5 of the signed bytes.
TEST_F(SignerTest, OpenSslRecoversTheDigestBlockWithThePublicKey) {
  if (std::system("openssl version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no openssl";
  const std::string body = "LEITURA DA MEMORIA FISCAL\r\nREDUCAO 0001\r\n";
  std::string path = Write("lmf.txt", body);
  std::string digits(256, ' ');
  ASSERT_EQ(Sign(path, digits.data()), 1);

  std::string binary;
  for (size_t i = 0; i < digits.size(); i += 2) {
    binary += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  }
  std::string signature = Write("sig.bin", binary);
  std::string recovered = sandbox_.Path("block.bin");
  std::string command = std::string("openssl pkeyutl -verifyrecover -pubin -inkey '") +
                        SIGNER_PUBLIC_KEY + "' -pkeyopt rsa_padding_mode:none -in '" + signature +
                        "' -out '" + recovered + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);

  std::string block = Read(recovered);
  ASSERT_EQ(block.size(), 128u);
  unsigned char md5[16];
  gcry_md_hash_buffer(GCRY_MD_MD5, md5, body.data(), body.size());
  EXPECT_EQ(block[0], '\x10');
  EXPECT_EQ(block.substr(1, 16), std::string(reinterpret_cast<char*>(md5), 16));
}

}  // namespace
