#!/usr/bin/env bash
# Runs a test program beside the webhook receivers it posts to (receiver.py):
# plain http; https with a certificate signed by a CA this run makes; https
# with a certificate that nobody signed. The program finds them in its
# environment:
#   WEBHOOK_HTTP, WEBHOOK_HTTPS, WEBHOOK_ROGUE  the receivers' base URLs
#   WEBHOOK_CLOSED                              a loopback port nothing listens on
#   WEBHOOK_LOG, WEBHOOK_TLS_LOG                their logs (WEBHOOK_ROGUE's is never written)
#   WEBHOOK_CA                                  the CA's certificate (DER), for Wine's store
#   SSL_CERT_FILE                               the CA's certificate (PEM), for OpenSSL natively
# Under Wine the program runs in a prefix of its own, so the CA it adds to
# that prefix's root store is trusted nowhere else.
#
# with-receivers.sh <receiver.py> native <program> [args...]
# with-receivers.sh <receiver.py> wine <wine-run> <program.exe> [args...]
set -uo pipefail
receiver=$1
mode=$2
shift 2

skip() { echo "SKIPPED: $*"; exit 77; }
for tool in python3 openssl; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d -t vellary-webhook.XXXXXX)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  if [ "$mode" = wine ]; then WINEPREFIX=$work/prefix wineserver -k 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The CA, a server certificate it signs for 127.0.0.1 and localhost, and one
# signed by nobody for the same names.
names="subjectAltName=IP:127.0.0.1,DNS:localhost"
{
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vellary test CA" \
    -keyout "$work/ca.key" -out "$work/ca.pem" &&
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$work/server.key" -out "$work/server.csr" &&
    openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 2 \
      -extfile <(echo "$names") -out "$work/server.pem" &&
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=localhost" -addext "$names" \
      -keyout "$work/rogue.key" -out "$work/rogue.pem" &&
    openssl x509 -in "$work/ca.pem" -outform der -out "$work/ca.der"
} >"$work/openssl.out" 2>&1 || { cat "$work/openssl.out"; echo "FAILED: openssl"; exit 1; }

start() {  # start <name> [cert key]: a receiver, its port in $work/<name>.port
  python3 "$receiver" "$work/$1.port" "$work/$1.log" "${@:2}" 2>"$work/$1.err" &
  pids+=($!)
}
start http
start https "$work/server.pem" "$work/server.key"
start rogue "$work/rogue.pem" "$work/rogue.key"
for _ in $(seq 100); do
  [ -f "$work/http.port" ] && [ -f "$work/https.port" ] && [ -f "$work/rogue.port" ] && break
  sleep 0.05
done
for name in http https rogue; do
  [ -f "$work/$name.port" ] || { cat "$work/$name.err"; echo "FAILED: the $name receiver did not start"; exit 1; }
done
closed=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# Paths as the program opens them: under Wine, Z: is the Unix root.
drive=
[ "$mode" = wine ] && drive=Z:
export WEBHOOK_HTTP=http://127.0.0.1:$(cat "$work/http.port")
# Wine's certificate check matches host names only, not addresses.
tls_host=127.0.0.1
[ "$mode" = wine ] && tls_host=localhost
export WEBHOOK_HTTPS=https://$tls_host:$(cat "$work/https.port")
export WEBHOOK_ROGUE=https://127.0.0.1:$(cat "$work/rogue.port")
export WEBHOOK_CLOSED=http://127.0.0.1:$closed
export WEBHOOK_LOG=$drive$work/http.log
export WEBHOOK_TLS_LOG=$drive$work/https.log
export WEBHOOK_CA=$drive$work/ca.der
export SSL_CERT_FILE=$work/ca.pem
# Straight to the receivers, whatever proxy the machine has.
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

if [ "$mode" = wine ]; then
  . "$(dirname "$0")/../../scripts/lib.sh"
  private_wine_prefix "${E2E_SOURCE_PREFIX:-${WINEPREFIX:-}}" "$work/prefix" >/dev/null || { echo "FAILED: no Wine prefix"; exit 1; }
  export WINEPREFIX=$work/prefix
fi
"$@"
