#include "snmp/usm.h"

#include <cstring>

#include "snmp/crypto.h"

namespace vsnmp {
namespace usm {

namespace {

const size_t kPasswordBytes = 1048576;

crypto::Hash HashOf(AuthProtocol auth)
{
    switch (auth) {
    case AUTH_MD5:
        return crypto::HASH_MD5;
    case AUTH_SHA256:
        return crypto::HASH_SHA256;
    case AUTH_SHA384:
        return crypto::HASH_SHA384;
    case AUTH_SHA512:
        return crypto::HASH_SHA512;
    default:
        return crypto::HASH_SHA1;
    }
}

}  // namespace

size_t KeyLength(AuthProtocol auth)
{
    return auth == AUTH_NONE ? 0 : crypto::DigestSize(HashOf(auth));
}

size_t MacLength(AuthProtocol auth)
{
    static const size_t kLengths[] = {0, 12, 12, 24, 32, 48};
    return kLengths[auth];
}

size_t PrivKeyLength(PrivProtocol priv)
{
    static const size_t kLengths[] = {0, 16, 24, 32, 24, 32};
    return kLengths[priv];
}

bool PasswordToKey(AuthProtocol auth, const uint8_t *password, size_t len, uint8_t *ku)
{
    if (auth == AUTH_NONE || len == 0)
        return false;
    crypto::HashStream hash;
    if (!hash.Begin(HashOf(auth)))
        return false;
    // The password repeated, fed a block of 64 at a time as the RFC does.
    uint8_t block[64];
    size_t index = 0;
    for (size_t count = 0; count < kPasswordBytes; count += sizeof block) {
        for (uint8_t &b : block)
            b = password[index++ % len];
        if (!hash.Update(block, sizeof block))
            return false;
    }
    return hash.Finish(ku);
}

bool LocalizeKey(AuthProtocol auth, const uint8_t *ku, const uint8_t *engineId, size_t engineIdLen, uint8_t *kul)
{
    size_t keyLen = KeyLength(auth);
    crypto::HashStream hash;
    return keyLen > 0 && hash.Begin(HashOf(auth)) && hash.Update(ku, keyLen) && hash.Update(engineId, engineIdLen) &&
           hash.Update(ku, keyLen) && hash.Finish(kul);
}

bool PrivKey(AuthProtocol auth, PrivProtocol priv, const uint8_t *kul, const uint8_t *engineId, size_t engineIdLen,
             uint8_t *key)
{
    size_t have = KeyLength(auth), need = PrivKeyLength(priv);
    if (have == 0 || need == 0)
        return false;
    if (have >= need) {
        memcpy(key, kul, need);
        return true;
    }
    // The shortest digest (16) doubled covers the longest key (32): one step of
    // extension is always enough.
    uint8_t more[MAX_KEY];
    if (priv == PRIV_AES192C || priv == PRIV_AES256C) {
        uint8_t ku[MAX_KEY];
        if (!PasswordToKey(auth, kul, have, ku) || !LocalizeKey(auth, ku, engineId, engineIdLen, more))
            return false;
    } else {
        crypto::HashStream hash;
        if (!hash.Begin(HashOf(auth)) || !hash.Update(kul, have) || !hash.Finish(more))
            return false;
    }
    memcpy(key, kul, have);
    memcpy(key + have, more, need - have);
    return true;
}

bool Mac(AuthProtocol auth, const uint8_t *kul, const uint8_t *msg, size_t len, uint8_t *mac)
{
    uint8_t full[crypto::MAX_DIGEST];
    if (auth == AUTH_NONE || !crypto::Hmac(HashOf(auth), kul, KeyLength(auth), msg, len, full))
        return false;
    memcpy(mac, full, MacLength(auth));
    return true;
}

void AesIv(uint32_t boots, uint32_t time, const uint8_t *salt, uint8_t *iv)
{
    for (int k = 0; k < 4; k++) {
        iv[k] = static_cast<uint8_t>(boots >> (24 - 8 * k));
        iv[4 + k] = static_cast<uint8_t>(time >> (24 - 8 * k));
    }
    memcpy(iv + 8, salt, SALT_SIZE);
}

bool AesCfb(bool encrypt, const uint8_t *key, size_t keyLen, const uint8_t *iv, const uint8_t *in, uint8_t *out,
            size_t len)
{
    crypto::AesBlock aes;
    if (!aes.SetKey(key, keyLen))
        return false;
    // Each block's keystream is the cipher of the previous ciphertext block.
    uint8_t feedback[crypto::AES_BLOCK], stream[crypto::AES_BLOCK];
    memcpy(feedback, iv, sizeof feedback);
    for (size_t done = 0; done < len; done += crypto::AES_BLOCK) {
        if (!aes.Encrypt(feedback, stream))
            return false;
        size_t n = len - done < crypto::AES_BLOCK ? len - done : crypto::AES_BLOCK;
        for (size_t k = 0; k < n; k++) {
            uint8_t c = encrypt ? static_cast<uint8_t>(in[done + k] ^ stream[k]) : in[done + k];
            out[done + k] = static_cast<uint8_t>(in[done + k] ^ stream[k]);
            feedback[k] = c;
        }
    }
    return true;
}

bool MakeUserKeys(AuthProtocol auth, const char *authPassword, PrivProtocol priv, const char *privPassword,
                  UserKeys *user)
{
    user->auth = auth;
    user->priv = priv;
    if (priv != PRIV_NONE && auth == AUTH_NONE)
        return false;
    if (auth != AUTH_NONE &&
        !PasswordToKey(auth, reinterpret_cast<const uint8_t *>(authPassword), strlen(authPassword), user->authKu))
        return false;
    // The privacy password is hashed with the authentication protocol's hash.
    return priv == PRIV_NONE ||
           PasswordToKey(auth, reinterpret_cast<const uint8_t *>(privPassword), strlen(privPassword), user->privKu);
}

bool LocalizeKeys(const UserKeys &user, const uint8_t *engineId, size_t engineIdLen, Keys *keys)
{
    keys->auth = user.auth;
    keys->priv = user.priv;
    if (user.auth == AUTH_NONE)
        return true;
    if (!LocalizeKey(user.auth, user.authKu, engineId, engineIdLen, keys->authKey))
        return false;
    if (user.priv == PRIV_NONE)
        return true;
    uint8_t kul[MAX_KEY];
    return LocalizeKey(user.auth, user.privKu, engineId, engineIdLen, kul) &&
           PrivKey(user.auth, user.priv, kul, engineId, engineIdLen, keys->privKey);
}

}  // namespace usm
}  // namespace vsnmp
