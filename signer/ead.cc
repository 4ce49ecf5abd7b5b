#include "signer/ead.h"

#include <gcrypt.h>

#include <algorithm>
#include <array>
#include <memory>

namespace zel::ead {

namespace {

constexpr size_t kBlockBytes = 128;
constexpr size_t kDigestBytes = 16;

void InitLibrary() {
  // The library must be told once that the application initialised it; no
  // secure memory is needed for the keys this library handles in plain.
  static const bool ready = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)ready;
}

struct MpiFree {
  void operator()(gcry_mpi_t m) const { gcry_mpi_release(m); }
};
using Mpi = std::unique_ptr<gcry_mpi, MpiFree>;

bool IsHex(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!digit) return false;
  }
  return true;
}

Mpi FromHex(std::string_view hex) {
  if (!IsHex(hex) || hex.size() > kSignatureDigits) return nullptr;
  std::string text(hex);
  gcry_mpi_t m = nullptr;
  if (gcry_mpi_scan(&m, GCRYMPI_FMT_HEX, text.c_str(), 0, nullptr) != 0) return nullptr;
  return Mpi(m);
}

Mpi FromBytes(const unsigned char* bytes, size_t size) {
  gcry_mpi_t m = nullptr;
  if (gcry_mpi_scan(&m, GCRYMPI_FMT_USG, bytes, size, nullptr) != 0) return nullptr;
  return Mpi(m);
}

// `m` as exactly `size` big-endian bytes, zero-filled on the left; false when
// it does not fit.
bool ToBytes(gcry_mpi_t m, unsigned char* out, size_t size) {
  size_t written = 0;
  std::array<unsigned char, kBlockBytes> buffer{};
  if (gcry_mpi_print(GCRYMPI_FMT_USG, buffer.data(), buffer.size(), &written, m) != 0) {
    return false;
  }
  if (written > size) return false;
  std::fill(out, out + size, 0);
  std::copy(buffer.begin(), buffer.begin() + written, out + (size - written));
  return true;
}

std::string UpperHex(const unsigned char* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

// A usable modulus: exactly 1024 bits, so that every block (which starts with
// 0x10) is smaller than it and the result fills 128 bytes.
Mpi Modulus(const std::string& hex) {
  Mpi n = FromHex(hex);
  if (!n || gcry_mpi_get_nbits(n.get()) != kBlockBytes * 8) return nullptr;
  return n;
}

Mpi Exponent(const std::string& hex) {
  Mpi e = FromHex(hex);
  if (!e || gcry_mpi_cmp_ui(e.get(), 0) == 0) return nullptr;
  return e;
}

std::array<unsigned char, kBlockBytes> Block(std::string_view signed_part) {
  std::array<unsigned char, kBlockBytes> block{};
  block[0] = static_cast<unsigned char>(kDigestBytes);
  gcry_md_hash_buffer(GCRY_MD_MD5, block.data() + 1, signed_part.data(), signed_part.size());
  return block;
}

// Where the last line of `content` starts, ignoring a final line break.
size_t LastLineStart(std::string_view content) {
  size_t end = content.size();
  if (end > 0 && content[end - 1] == '\n') --end;
  if (end > 0 && content[end - 1] == '\r') --end;
  size_t previous = content.rfind('\n', end == 0 ? 0 : end - 1);
  return previous == std::string_view::npos ? 0 : previous + 1;
}

}  // namespace

bool Sign(std::string_view signed_part, const std::string& modulus,
          const std::string& private_exponent, std::string* digits) {
  InitLibrary();
  Mpi n = Modulus(modulus);
  Mpi d = Exponent(private_exponent);
  if (!n || !d) return false;
  auto block = Block(signed_part);
  Mpi m = FromBytes(block.data(), block.size());
  if (!m) return false;
  Mpi s(gcry_mpi_new(0));
  gcry_mpi_powm(s.get(), m.get(), d.get(), n.get());
  std::array<unsigned char, kBlockBytes> out{};
  if (!ToBytes(s.get(), out.data(), out.size())) return false;
  *digits = UpperHex(out.data(), out.size());
  return true;
}

std::string_view LineBreakBefore(std::string_view content) {
  if (content.empty() || content.back() == '\n') return {};
  return "\r\n";
}

Verdict Check(std::string_view content, const std::string& modulus,
              const std::string& public_exponent) {
  InitLibrary();
  size_t start = LastLineStart(content);
  std::string_view line = content.substr(start);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.size() != kLinePrefix.size() + kSignatureDigits || !line.starts_with(kLinePrefix) ||
      !IsHex(line.substr(kLinePrefix.size()))) {
    return Verdict::kNoEadLine;
  }
  Mpi n = Modulus(modulus);
  Mpi e = Exponent(public_exponent);
  if (!n || !e) return Verdict::kBadKey;
  Mpi s = FromHex(line.substr(kLinePrefix.size()));
  if (!s || gcry_mpi_cmp(s.get(), n.get()) >= 0) return Verdict::kMismatch;
  Mpi m(gcry_mpi_new(0));
  gcry_mpi_powm(m.get(), s.get(), e.get(), n.get());
  std::array<unsigned char, kBlockBytes> recovered{};
  if (!ToBytes(m.get(), recovered.data(), recovered.size())) return Verdict::kMismatch;
  auto expected = Block(content.substr(0, start));
  bool same = std::equal(expected.begin(), expected.begin() + 1 + kDigestBytes, recovered.begin());
  return same ? Verdict::kValid : Verdict::kMismatch;
}

bool GenerateKeyPair(KeyPair* pair) {
  InitLibrary();
  gcry_sexp_t params = nullptr;
  gcry_sexp_t key = nullptr;
  if (gcry_sexp_build(&params, nullptr, "(genkey (rsa (nbits 4:1024) (rsa-use-e 5:65537)))") != 0) {
    return false;
  }
  gcry_error_t failed = gcry_pk_genkey(&key, params);
  gcry_sexp_release(params);
  if (failed != 0) return false;
  auto part = [&](const char* name) -> std::string {
    gcry_sexp_t token = gcry_sexp_find_token(key, name, 0);
    if (token == nullptr) return {};
    Mpi value(gcry_sexp_nth_mpi(token, 1, GCRYMPI_FMT_USG));
    gcry_sexp_release(token);
    std::array<unsigned char, kBlockBytes> bytes{};
    if (!value || !ToBytes(value.get(), bytes.data(), bytes.size())) return {};
    return UpperHex(bytes.data(), bytes.size());
  };
  KeyPair result{part("n"), part("d"), "010001"};
  gcry_sexp_release(key);
  if (result.modulus.empty() || result.private_exponent.empty()) return false;
  *pair = std::move(result);
  return true;
}

}  // namespace zel::ead
