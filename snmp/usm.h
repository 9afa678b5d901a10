// The user-based security model's keys and transforms (RFC 3414, RFC 7860 for
// the SHA-2 family, RFC 3826 for AES): password to key, localisation, the two
// ways of extending a short key for AES-192 and AES-256, the truncated HMAC of
// a message, and AES in CFB-128 on the platform's AES block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vsnmp {
namespace usm {

enum AuthProtocol { AUTH_NONE, AUTH_MD5, AUTH_SHA1, AUTH_SHA256, AUTH_SHA384, AUTH_SHA512 };

// The plain AES-192/256 forms extend a short key by hashing it; the "C" forms
// by running the localised key through password-to-key and localisation again.
enum PrivProtocol { PRIV_NONE, PRIV_AES128, PRIV_AES192, PRIV_AES256, PRIV_AES192C, PRIV_AES256C };

const size_t MAX_KEY = 64;       // a localised key: one digest, SHA-512's at most
const size_t MAX_PRIV_KEY = 32;  // AES-256
const size_t MAX_MAC = 48;       // HMAC-SHA-512 cut to 384 bits
const size_t MAX_ENGINE_ID = 32;
const size_t SALT_SIZE = 8;
const size_t IV_SIZE = 16;

// Key (digest) and MAC sizes of an authentication protocol; 0 for AUTH_NONE.
size_t KeyLength(AuthProtocol auth);
size_t MacLength(AuthProtocol auth);
// The AES key size of a privacy protocol; 0 for PRIV_NONE.
size_t PrivKeyLength(PrivProtocol priv);

// Ku: the digest of 1,048,576 bytes of the password repeated (RFC 3414 A.2).
// False for an empty password or when the platform refuses.
bool PasswordToKey(AuthProtocol auth, const uint8_t *password, size_t len, uint8_t *ku);

// Kul = H(Ku || engineID || Ku), KeyLength(auth) bytes.
bool LocalizeKey(AuthProtocol auth, const uint8_t *ku, const uint8_t *engineId, size_t engineIdLen, uint8_t *kul);

// The AES key, PrivKeyLength(priv) bytes, from the privacy password's localised
// key: its first bytes, extended as the protocol says when the digest is shorter.
bool PrivKey(AuthProtocol auth, PrivProtocol priv, const uint8_t *kul, const uint8_t *engineId, size_t engineIdLen,
             uint8_t *key);

// The message's MAC: HMAC under the localised key, cut to MacLength(auth).
bool Mac(AuthProtocol auth, const uint8_t *kul, const uint8_t *msg, size_t len, uint8_t *mac);

// AES-CFB-128 over len bytes (no padding: the last block may be short), in
// place or not. The IV is engine boots and time (big-endian, 4 bytes each) and
// the 8-byte salt.
bool AesCfb(bool encrypt, const uint8_t *key, size_t keyLen, const uint8_t *iv, const uint8_t *in, uint8_t *out,
            size_t len);
void AesIv(uint32_t boots, uint32_t time, const uint8_t *salt, uint8_t *iv);

// A user's passwords turned into keys (Ku): the million bytes of hashing each,
// independent of any engine, done once per user.
struct UserKeys {
    AuthProtocol auth = AUTH_NONE;
    PrivProtocol priv = PRIV_NONE;
    uint8_t authKu[MAX_KEY] = {};
    uint8_t privKu[MAX_KEY] = {};
};

// The keys a message to or from one engine uses.
struct Keys {
    AuthProtocol auth = AUTH_NONE;
    PrivProtocol priv = PRIV_NONE;
    uint8_t authKey[MAX_KEY] = {};
    uint8_t privKey[MAX_PRIV_KEY] = {};
};

// Ku for both passwords (a password is not used when its protocol is NONE).
// False when a password that is used is empty, or the platform refuses.
bool MakeUserKeys(AuthProtocol auth, const char *authPassword, PrivProtocol priv, const char *privPassword,
                  UserKeys *user);

// The user's keys localised to one engine: the authentication key and the AES key.
bool LocalizeKeys(const UserKeys &user, const uint8_t *engineId, size_t engineIdLen, Keys *keys);

}  // namespace usm
}  // namespace vsnmp
