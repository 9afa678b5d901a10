// Makes the test CA of with-receivers.sh trusted for https, where the platform
// needs more than its environment (SSL_CERT_FILE) for that.
#pragma once

// Under Wine: adds WEBHOOK_CA to the root store of the prefix, which is the
// test's own. Natively: nothing. Returns false when it could not.
bool TrustTestCa();
