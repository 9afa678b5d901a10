// The crypto seam over CNG (bcrypt.dll), which ships with Windows. Its CFB
// mode feeds back 8 bits, so only ECB is asked of it; CFB-128 is built on top.
#include <windows.h>

#include <bcrypt.h>

#include "snmp/crypto.h"

namespace vsnmp {
namespace crypto {

namespace {

LPCWSTR AlgorithmId(Hash hash)
{
    switch (hash) {
    case HASH_MD5:
        return BCRYPT_MD5_ALGORITHM;
    case HASH_SHA1:
        return BCRYPT_SHA1_ALGORITHM;
    case HASH_SHA256:
        return BCRYPT_SHA256_ALGORITHM;
    case HASH_SHA384:
        return BCRYPT_SHA384_ALGORITHM;
    case HASH_SHA512:
        return BCRYPT_SHA512_ALGORITHM;
    }
    return nullptr;
}

bool Ok(NTSTATUS status)
{
    return status >= 0;
}

// Opens the hash's provider and a hash on it, keyed for HMAC when key is given.
bool OpenHash(Hash hash, const uint8_t *key, size_t keyLen, void **alg, void **ctx)
{
    BCRYPT_ALG_HANDLE hAlg = nullptr;
    if (!Ok(BCryptOpenAlgorithmProvider(&hAlg, AlgorithmId(hash), nullptr, key ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0)))
        return false;
    BCRYPT_HASH_HANDLE hHash = nullptr;
    // A null object buffer lets CNG keep the hash's state itself.
    if (!Ok(BCryptCreateHash(hAlg, &hHash, nullptr, 0, const_cast<PUCHAR>(key), static_cast<ULONG>(keyLen), 0))) {
        BCryptCloseAlgorithmProvider(hAlg, 0);
        return false;
    }
    *alg = hAlg;
    *ctx = hHash;
    return true;
}

void CloseHash(void **alg, void **ctx)
{
    if (*ctx)
        BCryptDestroyHash(*ctx);
    if (*alg)
        BCryptCloseAlgorithmProvider(*alg, 0);
    *ctx = nullptr;
    *alg = nullptr;
}

bool HashData(void *ctx, const uint8_t *data, size_t size)
{
    // CNG counts in ULONG; feed anything larger in pieces.
    while (size > 0) {
        ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (!Ok(BCryptHashData(ctx, const_cast<PUCHAR>(data), piece, 0)))
            return false;
        data += piece;
        size -= piece;
    }
    return true;
}

}  // namespace

HashStream::~HashStream()
{
    Release();
}

void HashStream::Release()
{
    CloseHash(&alg_, &ctx_);
}

bool HashStream::Begin(Hash hash)
{
    Release();
    hash_ = hash;
    return OpenHash(hash, nullptr, 0, &alg_, &ctx_);
}

bool HashStream::Update(const uint8_t *data, size_t size)
{
    return ctx_ && HashData(ctx_, data, size);
}

bool HashStream::Finish(uint8_t *out)
{
    bool ok = ctx_ && Ok(BCryptFinishHash(ctx_, out, static_cast<ULONG>(DigestSize(hash_)), 0));
    Release();
    return ok;
}

bool Hmac(Hash hash, const uint8_t *key, size_t keyLen, const uint8_t *data, size_t size, uint8_t *out)
{
    static const uint8_t kNoKey = 0;
    void *alg = nullptr, *ctx = nullptr;
    if (!OpenHash(hash, keyLen ? key : &kNoKey, keyLen, &alg, &ctx))
        return false;
    bool ok = HashData(ctx, data, size) && Ok(BCryptFinishHash(ctx, out, static_cast<ULONG>(DigestSize(hash)), 0));
    CloseHash(&alg, &ctx);
    return ok;
}

AesBlock::~AesBlock()
{
    Release();
}

void AesBlock::Release()
{
    if (key_)
        BCryptDestroyKey(key_);
    if (alg_)
        BCryptCloseAlgorithmProvider(alg_, 0);
    key_ = nullptr;
    alg_ = nullptr;
}

bool AesBlock::SetKey(const uint8_t *key, size_t keyLen)
{
    Release();
    if (keyLen != 16 && keyLen != 24 && keyLen != 32)
        return false;
    BCRYPT_ALG_HANDLE hAlg = nullptr;
    if (!Ok(BCryptOpenAlgorithmProvider(&hAlg, BCRYPT_AES_ALGORITHM, nullptr, 0)))
        return false;
    alg_ = hAlg;
    BCRYPT_KEY_HANDLE hKey = nullptr;
    if (!Ok(BCryptSetProperty(hAlg, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t *>(BCRYPT_CHAIN_MODE_ECB)),
                              sizeof BCRYPT_CHAIN_MODE_ECB, 0)) ||
        !Ok(BCryptGenerateSymmetricKey(hAlg, &hKey, nullptr, 0, const_cast<PUCHAR>(key), static_cast<ULONG>(keyLen), 0))) {
        Release();
        return false;
    }
    key_ = hKey;
    return true;
}

bool AesBlock::Encrypt(const uint8_t *in, uint8_t *out)
{
    ULONG written = 0;
    return key_ &&
           Ok(BCryptEncrypt(key_, const_cast<PUCHAR>(in), AES_BLOCK, nullptr, nullptr, 0, out, AES_BLOCK, &written, 0)) &&
           written == AES_BLOCK;
}

bool RandomBytes(uint8_t *out, size_t size)
{
    return Ok(BCryptGenRandom(nullptr, out, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace crypto
}  // namespace vsnmp
