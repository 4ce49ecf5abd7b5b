// The EAD signature of the fiscal rules, the work behind the signing library's
// entry points (sign_bema.h).
//
// An EAD line is "EAD" followed by 256 upper-case hexadecimal digits and CR LF,
// the last line of a signed text file. The digits are the plain RSA (no
// padding) encryption, with a 1024-bit private key, of a 128-byte block: the
// byte 0x10, the 16-byte MD5 digest of every byte of the file before the EAD
// line (the line break that ends the last data line included), then zero
// bytes. A verifier decrypts with the public key and compares the first 17
// bytes; the filler is not compared.
//
// Keys are hexadecimal texts (either letter case, at most 256 digits): the
// modulus, the private exponent and the public exponent ("10001" or "010001"
// for 65537).
#pragma once

#include <string>
#include <string_view>

namespace zel::ead {

inline constexpr size_t kSignatureDigits = 256;
inline constexpr std::string_view kLinePrefix = "EAD";

// The 256 upper-case hexadecimal digits that sign `signed_part` (the bytes the
// digest covers). False, and *digits untouched, when a key text is not
// hexadecimal, the modulus is not a 1024-bit number or the exponent is zero.
bool Sign(std::string_view signed_part, const std::string& modulus,
          const std::string& private_exponent, std::string* digits);

// What a file's text needs before its EAD line: nothing when it is empty or
// ends with a line feed, otherwise CR LF (so the EAD line starts a line of its
// own and the break is part of the signed bytes).
std::string_view LineBreakBefore(std::string_view content);

enum class Verdict {
  kValid,      // the EAD line matches the file and the key
  kNoEadLine,  // the last line is not "EAD" + 256 hexadecimal digits
  kBadKey,     // a key text is not usable
  kMismatch,   // the signature does not decrypt to this file's digest
};

// Checks the last line of `content` (a whole file) against the modulus and
// the public exponent. The last line may end with CR LF, LF or nothing.
Verdict Check(std::string_view content, const std::string& modulus,
              const std::string& public_exponent);

struct KeyPair {
  std::string modulus;           // 256 upper-case hexadecimal digits
  std::string private_exponent;  // 256 digits, zero-filled on the left
  std::string public_exponent;   // "010001"
};

// A new 1024-bit key pair with the public exponent 65537. False when the
// cryptography library fails.
bool GenerateKeyPair(KeyPair* pair);

}  // namespace zel::ead
