#include "tests/alerts/trust.h"

bool TrustTestCa()
{
    return true;  // OpenSSL reads SSL_CERT_FILE
}
