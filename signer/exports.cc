// The signing library's C entry points over the EAD routines (ead.h). Files
// are read and written through the platform layer.
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "signer/ead.h"
#include "signer/sign_bema.h"

namespace {

namespace platform = zel::platform;

// The kind chosen with setLibType; only the EAD exists, so the choice is kept
// for the day a second kind comes and to refuse unknown ones.
int32_t g_kind = kSignKindEad;

}  // namespace

int32_t setLibType(int32_t kind) {
  if (kind != kSignKindEad) return kSignUnknownKind;
  g_kind = kind;
  return 1;
}

int32_t genkkey(char* modulus, char* private_exponent) {
  if (modulus == nullptr || private_exponent == nullptr) return kSignBadArgument;
  zel::ead::KeyPair pair;
  if (!zel::ead::GenerateKeyPair(&pair)) return kSignCryptoFailure;
  std::memcpy(modulus, pair.modulus.c_str(), pair.modulus.size() + 1);
  std::memcpy(private_exponent, pair.private_exponent.c_str(), pair.private_exponent.size() + 1);
  return 1;
}

int32_t generateEAD(const char* file, const char* modulus, const char* private_exponent,
                    char* signature, int32_t append) {
  if (file == nullptr || modulus == nullptr || private_exponent == nullptr) {
    return kSignBadArgument;
  }
  platform::Platform& os = platform::Current();
  std::string content;
  if (!os.ReadWholeFile(file, &content)) return kSignFileError;
  std::string tail(append != 0 ? zel::ead::LineBreakBefore(content) : std::string_view());
  std::string digits;
  if (!zel::ead::Sign(content + tail, modulus, private_exponent, &digits)) return kSignBadKey;
  if (append != 0) {
    std::string line = tail + std::string(zel::ead::kLinePrefix) + digits + "\r\n";
    if (!os.AppendToFile(file, line)) return kSignFileError;
  }
  if (signature != nullptr) std::memcpy(signature, digits.data(), digits.size());
  return 1;
}

int32_t validateFile(const char* file, const char* modulus, const char* public_exponent) {
  if (file == nullptr || modulus == nullptr || public_exponent == nullptr) {
    return kSignBadArgument;
  }
  std::string content;
  if (!platform::Current().ReadWholeFile(file, &content)) return kSignFileError;
  switch (zel::ead::Check(content, modulus, public_exponent)) {
    case zel::ead::Verdict::kValid:
      return 1;
    case zel::ead::Verdict::kNoEadLine:
      return kSignNoEadLine;
    case zel::ead::Verdict::kBadKey:
      return kSignBadKey;
    case zel::ead::Verdict::kMismatch:
      break;
  }
  return kSignMismatch;
}
