// The crypto seam over OpenSSL's libcrypto.
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include "snmp/crypto.h"

namespace vsnmp {
namespace crypto {

namespace {

const EVP_MD *Digest(Hash hash)
{
    switch (hash) {
    case HASH_MD5:
        return EVP_md5();
    case HASH_SHA1:
        return EVP_sha1();
    case HASH_SHA256:
        return EVP_sha256();
    case HASH_SHA384:
        return EVP_sha384();
    case HASH_SHA512:
        return EVP_sha512();
    }
    return nullptr;
}

const EVP_CIPHER *AesEcb(size_t keyLen)
{
    switch (keyLen) {
    case 16:
        return EVP_aes_128_ecb();
    case 24:
        return EVP_aes_192_ecb();
    case 32:
        return EVP_aes_256_ecb();
    default:
        return nullptr;
    }
}

}  // namespace

HashStream::~HashStream()
{
    Release();
}

void HashStream::Release()
{
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX *>(ctx_));
    ctx_ = nullptr;
}

bool HashStream::Begin(Hash hash)
{
    Release();
    hash_ = hash;
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    if (!ctx)
        return false;
    ctx_ = ctx;
    if (EVP_DigestInit_ex(ctx, Digest(hash), nullptr) != 1) {
        Release();
        return false;
    }
    return true;
}

bool HashStream::Update(const uint8_t *data, size_t size)
{
    return ctx_ && EVP_DigestUpdate(static_cast<EVP_MD_CTX *>(ctx_), data, size) == 1;
}

bool HashStream::Finish(uint8_t *out)
{
    unsigned int len = 0;
    bool ok = ctx_ && EVP_DigestFinal_ex(static_cast<EVP_MD_CTX *>(ctx_), out, &len) == 1 && len == DigestSize(hash_);
    Release();
    return ok;
}

bool Hmac(Hash hash, const uint8_t *key, size_t keyLen, const uint8_t *data, size_t size, uint8_t *out)
{
    unsigned int len = 0;
    // A key of zero bytes still needs a valid pointer.
    static const uint8_t kNoKey = 0;
    return HMAC(Digest(hash), keyLen ? key : &kNoKey, static_cast<int>(keyLen), data, size, out, &len) != nullptr &&
           len == DigestSize(hash);
}

AesBlock::~AesBlock()
{
    Release();
}

void AesBlock::Release()
{
    EVP_CIPHER_CTX_free(static_cast<EVP_CIPHER_CTX *>(key_));
    key_ = nullptr;
}

bool AesBlock::SetKey(const uint8_t *key, size_t keyLen)
{
    Release();
    const EVP_CIPHER *cipher = AesEcb(keyLen);
    EVP_CIPHER_CTX *ctx = cipher ? EVP_CIPHER_CTX_new() : nullptr;
    if (!ctx)
        return false;
    key_ = ctx;
    if (EVP_EncryptInit_ex(ctx, cipher, nullptr, key, nullptr) != 1 || EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
        Release();
        return false;
    }
    return true;
}

bool AesBlock::Encrypt(const uint8_t *in, uint8_t *out)
{
    int len = 0;
    return key_ &&
           EVP_EncryptUpdate(static_cast<EVP_CIPHER_CTX *>(key_), out, &len, in, static_cast<int>(AES_BLOCK)) == 1 &&
           len == static_cast<int>(AES_BLOCK);
}

bool RandomBytes(uint8_t *out, size_t size)
{
    return RAND_bytes(out, static_cast<int>(size)) == 1;
}

}  // namespace crypto
}  // namespace vsnmp
