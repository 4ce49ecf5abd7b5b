// The signing library's C entry points ("sign_bema.dll" on Windows,
// libsign_bema.so on POSIX). Texts are NUL-terminated Windows-1252; key texts
// are hexadecimal (see ead.h). Every entry point returns 1 on success.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define SIGN_BEMA_EXPORT __declspec(dllexport)
#else
#define SIGN_BEMA_EXPORT __attribute__((visibility("default")))
#endif
// The calling convention of the vendor's libraries on 32-bit Windows.
#if defined(_WIN32) && defined(__i386__)
#define SIGN_BEMA_CALL __stdcall
#else
#define SIGN_BEMA_CALL
#endif

extern "C" {

// Signature kinds. 1, the EAD of the PAF-ECF rules (RSA-1024 over MD5), is
// the only one and the kind in force when setLibType was never called.
inline constexpr int32_t kSignKindEad = 1;

// Return codes other than 1.
inline constexpr int32_t kSignUnknownKind = -1;    // setLibType: a kind other than 1
inline constexpr int32_t kSignBadArgument = -2;    // a null pointer where a text or buffer is due
inline constexpr int32_t kSignBadKey = -3;         // a key text that is not a usable key
inline constexpr int32_t kSignFileError = -4;      // the file cannot be read or written
inline constexpr int32_t kSignNoEadLine = -5;      // validateFile: the last line is no EAD line
inline constexpr int32_t kSignMismatch = 0;        // validateFile: the signature does not match
inline constexpr int32_t kSignCryptoFailure = -6;  // genkkey: the key could not be made

// Selects the signature kind for the calls that follow; 1 or -1.
SIGN_BEMA_EXPORT int32_t SIGN_BEMA_CALL setLibType(int32_t kind);

// Makes a new key pair: writes the modulus and the private exponent, 256
// upper-case hexadecimal digits each followed by a NUL, into `modulus` and
// `private_exponent` (buffers of at least 257 bytes). The public exponent is
// always 65537 ("010001").
SIGN_BEMA_EXPORT int32_t SIGN_BEMA_CALL genkkey(char* modulus, char* private_exponent);

// Signs the text file `file` with the key (modulus, private exponent) and
// writes the 256 signature digits into `signature` (a buffer of at least 256
// bytes; no NUL is written; may be null). With `append` 1 the EAD line
// ("EAD", the digits, CR LF) is appended to the file, after a CR LF when the
// file's last line has no line break; with 0 the file is left unchanged and
// the digits cover its bytes as they are. A failure leaves file and buffer
// untouched.
SIGN_BEMA_EXPORT int32_t SIGN_BEMA_CALL generateEAD(const char* file, const char* modulus,
                                                    const char* private_exponent, char* signature,
                                                    int32_t append);

// Checks the EAD line that ends `file` against the modulus and the public
// exponent: 1 valid, 0 the signature does not match the file, or a negative
// code above.
SIGN_BEMA_EXPORT int32_t SIGN_BEMA_CALL validateFile(const char* file, const char* modulus,
                                                     const char* public_exponent);

}  // extern "C"
