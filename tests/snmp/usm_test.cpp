// Known answers for the user-based security model's keys and transforms, run on
// both builds, so the Windows build checks CNG as well as our use of it. The
// SHA-2 keys and both key extensions come from snmpd (net-snmp 5.9): the
// localised keys it stores for users made by createUser, with passwords
// "authpass1" and "authpass2", under engine ID 80001f8880aabbccdd11223344.
#include "snmp/usm.h"

#include <gtest/gtest.h>

#include <string>

#include "snmp/crypto.h"
#include "tests/snmp/agent.h"

using namespace vsnmp;
using namespace vsnmp::usm;

namespace {

const char kSnmpdEngine[] = "80001f8880aabbccdd11223344";

struct KeyCase {
    const char *name;
    AuthProtocol auth;
    PrivProtocol priv;  // PRIV_NONE: the row gives the localised authentication key
    const char *password;
    const char *engineId;
    const char *key;
};

const KeyCase kKeyCases[] = {
    {"RFC 3414 A.3.1 MD5", AUTH_MD5, PRIV_NONE, "maplesyrup", "000000000000000000000002",
     "526f5eed9fcce26f8964c2930787d82b"},
    {"RFC 3414 A.3.2 SHA", AUTH_SHA1, PRIV_NONE, "maplesyrup", "000000000000000000000002",
     "6695febc9288e36282235fc7151f128497b38f3f"},
    {"SHA-256", AUTH_SHA256, PRIV_NONE, "authpass1", kSnmpdEngine,
     "36e9b884910306bed19644dcfef47cc27fb47f2c145513ec07796e528b59718e"},
    {"SHA-384", AUTH_SHA384, PRIV_NONE, "authpass1", kSnmpdEngine,
     "9f898b5b19ae03b597c245065cae9cc00d47aea27b3bb2157eed27f9de447bf7387719c533b25e4c1f9827ba9f9b3ad3"},
    {"SHA-512", AUTH_SHA512, PRIV_NONE, "authpass1", kSnmpdEngine,
     "fc3ddc72a56c093fa96438d498c988cdfe49fd49fcc2be597e29206540320e4dda9f8ce5fbf89c91a1ab06215ac323fc802b9e90dfa6"
     "1fa0819e882b1d8cfb78"},
    {"MD5 AES", AUTH_MD5, PRIV_AES128, "authpass2", kSnmpdEngine, "25cd8b7ec551302c48adf4a53461ba00"},
    {"SHA-256 AES", AUTH_SHA256, PRIV_AES128, "authpass2", kSnmpdEngine, "9a5b774f83aeb8cff0b7d0937f39b6eb"},
    {"SHA-384 AES-256 (cut)", AUTH_SHA384, PRIV_AES256, "authpass2", kSnmpdEngine,
     "c10741c6f09c60382a4604d1dbaa979d659bc5d882b000da282aff1f116deacd"},
    {"SHA-512 AES-256 (cut)", AUTH_SHA512, PRIV_AES256, "authpass2", kSnmpdEngine,
     "2d58cf84e3cb97efb93d26312246eb5cce796bd1c44100cf15be0ddd66755cf1"},
    {"MD5 AES-192 (hash extension)", AUTH_MD5, PRIV_AES192, "authpass2", kSnmpdEngine,
     "25cd8b7ec551302c48adf4a53461ba00ab00f70298772201"},
    {"SHA AES-256 (hash extension)", AUTH_SHA1, PRIV_AES256, "authpass2", kSnmpdEngine,
     "31e7c0b2baa3bfcaae452e9b944400614a117f12cc596749ff7e21f8a6b9f6ab"},
    {"SHA AES-192C", AUTH_SHA1, PRIV_AES192C, "authpass2", kSnmpdEngine,
     "31e7c0b2baa3bfcaae452e9b944400614a117f12f4e16655"},
    {"SHA AES-256C", AUTH_SHA1, PRIV_AES256C, "authpass2", kSnmpdEngine,
     "31e7c0b2baa3bfcaae452e9b944400614a117f12f4e1665502ed10b8dc8b454b"},
    {"MD5 AES-256C", AUTH_MD5, PRIV_AES256C, "authpass2", kSnmpdEngine,
     "25cd8b7ec551302c48adf4a53461ba0069ff140dfbc1af3cbc33d7a7c5e2e810"},
};

}  // namespace

TEST(UsmKeys, KnownAnswers)
{
    for (const KeyCase &c : kKeyCases) {
        SCOPED_TRACE(c.name);
        std::string password = c.password, engine = Hex(c.engineId);
        uint8_t ku[MAX_KEY], kul[MAX_KEY], key[MAX_KEY];
        ASSERT_TRUE(PasswordToKey(c.auth, Bytes(password), password.size(), ku));
        ASSERT_TRUE(LocalizeKey(c.auth, ku, Bytes(engine), engine.size(), kul));
        if (c.priv == PRIV_NONE) {
            EXPECT_EQ(ToHex(Hex(c.key)), ToHex(Str(kul, KeyLength(c.auth))));
        } else {
            ASSERT_TRUE(PrivKey(c.auth, c.priv, kul, Bytes(engine), engine.size(), key));
            EXPECT_EQ(ToHex(Hex(c.key)), ToHex(Str(key, PrivKeyLength(c.priv))));
        }
    }
}

TEST(UsmKeys, EmptyPasswordIsRefused)
{
    uint8_t ku[MAX_KEY];
    EXPECT_FALSE(PasswordToKey(AUTH_SHA1, Bytes(""), 0, ku));
}

// RFC 2202's and RFC 4231's second case, for every hash.
TEST(UsmKeys, HmacKnownAnswers)
{
    struct {
        crypto::Hash hash;
        const char *hmac;
    } const cases[] = {
        {crypto::HASH_MD5, "750c783e6ab0b503eaa86e310a5db738"},
        {crypto::HASH_SHA1, "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {crypto::HASH_SHA256, "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {crypto::HASH_SHA384,
         "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e8e2240ca5e69e2c78b3239ecfab21649"},
        {crypto::HASH_SHA512,
         "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea2505549758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d"
         "4a6b4b636e070a38bce737"},
    };
    std::string key = "Jefe", data = "what do ya want for nothing?";
    for (const auto &c : cases) {
        uint8_t out[crypto::MAX_DIGEST];
        ASSERT_TRUE(crypto::Hmac(c.hash, Bytes(key), key.size(), Bytes(data), data.size(), out));
        EXPECT_EQ(ToHex(Hex(c.hmac)), ToHex(Str(out, crypto::DigestSize(c.hash))));
    }
}

// Reference: openssl enc -aes-N-cfb -K 0102... -iv 000102...0f over the 43
// bytes below, so the last block is a short one.
TEST(AesCfb, MatchesOpenSslCfb128)
{
    struct {
        size_t keyLen;
        const char *cipher;
    } const cases[] = {
        {16, "3b62fadfbaedb62c1f05954f66ccb3db2dde9d63b49d77f0e35fde51e37c66b4d3affdef999b108204f498"},
        {24, "9b5263e359423bcd3ee4494cdbace553b26066e81d9dbc320d43cfb118f27c0cba571b624d217cae1d5603"},
        {32, "b902655c393491215249ba4fe9a1444d1836f923e56d62e11340c256d4cbf8c4b47178bcfbbefaffdd7fab"},
    };
    std::string plain = "The quick brown fox jumps over the lazy dog";
    uint8_t key[32], iv[IV_SIZE];
    for (size_t k = 0; k < sizeof key; k++)
        key[k] = static_cast<uint8_t>(k + 1);
    for (size_t k = 0; k < sizeof iv; k++)
        iv[k] = static_cast<uint8_t>(k);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keyLen);
        std::string out(plain.size(), '\0');
        uint8_t *outBytes = reinterpret_cast<uint8_t *>(&out[0]);
        ASSERT_TRUE(AesCfb(true, key, c.keyLen, iv, Bytes(plain), outBytes, plain.size()));
        EXPECT_EQ(ToHex(Hex(c.cipher)), ToHex(out));
        // Back again, in place.
        ASSERT_TRUE(AesCfb(false, key, c.keyLen, iv, outBytes, outBytes, out.size()));
        EXPECT_EQ(plain, out);
    }
}
