#include "hostutil/cipher.h"

#include <array>
#include <cstdint>

namespace zel {
namespace {

constexpr std::string_view kAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-.";
static_assert(kAlphabet.size() == 64);

constexpr std::array<int, 256> MakeIndex() {
  std::array<int, 256> index{};
  for (int& i : index) i = -1;
  for (size_t i = 0; i < kAlphabet.size(); ++i) {
    index[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
  }
  return index;
}
constexpr std::array<int, 256> kIndex = MakeIndex();

// A 32-bit hash of key and position (multiply-xorshift finaliser); any fixed
// function would do, this one spreads neighbouring keys and positions apart.
uint32_t Mix(int key, size_t position) {
  uint32_t x = static_cast<uint32_t>(key) * 0x9E3779B9u +
               static_cast<uint32_t>(position) * 0x85EBCA6Bu + 0x165667B1u;
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

int Shift(int key, size_t position, int previous_plain) {
  return static_cast<int>((Mix(key, position) + static_cast<uint32_t>(previous_plain)) % 64u);
}

}  // namespace

std::string Cripto(std::string_view text, int key) {
  std::string out(text);
  int previous = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    int plain = kIndex[static_cast<unsigned char>(out[i])];
    if (plain < 0) continue;
    out[i] = kAlphabet[static_cast<size_t>((plain + Shift(key, i, previous)) % 64)];
    previous = plain;
  }
  return out;
}

std::string Uncripto(std::string_view text, int key) {
  std::string out(text);
  int previous = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    int cipher = kIndex[static_cast<unsigned char>(out[i])];
    if (cipher < 0) continue;
    int plain = (cipher - Shift(key, i, previous) + 64) % 64;
    out[i] = kAlphabet[static_cast<size_t>(plain)];
    previous = plain;
  }
  return out;
}

}  // namespace zel
