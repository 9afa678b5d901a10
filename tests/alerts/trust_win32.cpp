#include <windows.h>

#include <wincrypt.h>

#include <string>

#include "tests/alerts/receivers.h"
#include "tests/alerts/trust.h"
#include "tests/support/files.h"

bool TrustTestCa()
{
    std::string der = ReadFile(ReceiverEnv("WEBHOOK_CA"));
    if (der.empty())
        return false;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store)
        return false;
    BOOL added =
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE *>(der.data()),
                                         static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
    return added != FALSE;
}
