// Hashes, HMAC, the AES block and random bytes for SNMPv3, all from the
// platform: CNG (bcrypt.dll) on Windows, OpenSSL's libcrypto elsewhere. No
// cipher or hash is written here; modes are built on the block in usm.cpp, the
// same on both builds. Every call returns false when the platform refuses.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vsnmp {
namespace crypto {

enum Hash { HASH_MD5, HASH_SHA1, HASH_SHA256, HASH_SHA384, HASH_SHA512 };

const size_t MAX_DIGEST = 64;
const size_t AES_BLOCK = 16;

inline size_t DigestSize(Hash hash)
{
    static const size_t kSizes[] = {16, 20, 32, 48, 64};
    return kSizes[hash];
}

// One digest fed in pieces. Owns its platform state; not copyable.
class HashStream {
public:
    HashStream() = default;
    ~HashStream();
    HashStream(const HashStream &) = delete;
    HashStream &operator=(const HashStream &) = delete;

    bool Begin(Hash hash);
    bool Update(const uint8_t *data, size_t size);
    // Writes DigestSize bytes to out and ends the stream.
    bool Finish(uint8_t *out);

private:
    void Release();
#ifdef _WIN32
    void *alg_ = nullptr;  // the algorithm provider
#endif
    void *ctx_ = nullptr;  // the running hash
    Hash hash_ = HASH_MD5;
};

// HMAC of data under key, DigestSize(hash) bytes into out.
bool Hmac(Hash hash, const uint8_t *key, size_t keyLen, const uint8_t *data, size_t size, uint8_t *out);

// AES in ECB, one block at a time under one key of 16, 24 or 32 bytes.
class AesBlock {
public:
    AesBlock() = default;
    ~AesBlock();
    AesBlock(const AesBlock &) = delete;
    AesBlock &operator=(const AesBlock &) = delete;

    bool SetKey(const uint8_t *key, size_t keyLen);
    bool Encrypt(const uint8_t *in, uint8_t *out);

private:
    void Release();
#ifdef _WIN32
    void *alg_ = nullptr;  // the algorithm provider
#endif
    void *key_ = nullptr;
};

// Bytes from the system's cryptographic random source.
bool RandomBytes(uint8_t *out, size_t size);

}  // namespace crypto
}  // namespace vsnmp
