// This installation's EAD signing key, held by the driver in plain as the
// fiscal rules' signing component expects: the modulus and the private
// exponent of a 1024-bit RSA key, 256 hexadecimal digits each. The public
// half (modulus and exponent 65537) is signer/ead-public.pem; the tax office's
// validator gets the modulus and "10001".
#pragma once

namespace zel::fiscal {

inline constexpr char kEadModulus[] =
    "9C0A1EB18564AA82AB0497FCCBC3F259A6E0EFA2A10E9825A8718C504A4ED722"
    "B53BABE4904AF5000A89BBC94E247E707FABA1973906D49D6A0D9F977488E922"
    "0C8DB5D8B44744DF193AFDA60DB3BC06DFA530A0E097D8F45C6E73824CC2B018"
    "9221B721C7C55D8174CD02D4FD4FA77C36A2C37DEDAFE24C66FD3A75BBA68CC9";

inline constexpr char kEadPrivateExponent[] =
    "5F899AAD5A5CFE412EF08B164EB454682BD2C12633B239D9A4BE91087FD6B1C6"
    "206CBE9C1CF4A7F9347A8C2D7ED8BD49A801AFD86524177DA1F761655C068FA6"
    "426D036352289C22264832AA582468E37A7231042073AE7AAA3C7FEBC5D9B094"
    "D7CED3F51F0B271913A64FD3FAC377326E97E84CF3641940F25D688A47E87B79";

inline constexpr char kEadPublicExponent[] = "010001";

}  // namespace zel::fiscal
