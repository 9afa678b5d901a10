#!/usr/bin/env bash
# Fuzzes one target with libFuzzer (clang, ASan + UBSan) and grows its corpus.
#   fuzz/run.sh <target> [seconds]     targets: config_scan, settings_scan, ber_decode, v3_decode, ping_match
# New inputs that raise coverage are added to fuzz/corpus/<corpus>; the ordinary
# builds replay that corpus as a test.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?target}
seconds=${2:-600}
# The configuration readers, as vellary_config builds them.
config="config/interfaces.cpp config/textfile.cpp config/utf8.cpp config/config.cpp config/v3users.cpp
  config/settings.cpp config/msgbox_posix.cpp"
case $target in
  config_scan) sources="fuzz/config_scan_fuzz.cpp $config"
    corpus=config; max_len=10000 ;;  # past the 4999 characters read, with CR LF pairs
  settings_scan) sources="fuzz/settings_scan_fuzz.cpp $config"
    corpus=settings; max_len=8192 ;;  # past the longest line
  ber_decode) sources="fuzz/ber_decode_fuzz.cpp snmp/ber.cpp"; corpus=ber; max_len=4096 ;;
  v3_decode) sources="fuzz/v3_decode_fuzz.cpp snmp/v3message.cpp snmp/usm.cpp snmp/ber.cpp snmp/crypto_posix.cpp"
    libs=-lcrypto; corpus=v3; max_len=4096 ;;
  ping_match) sources="fuzz/ping_match_fuzz.cpp poll/ping_posix.cpp snmp/udp.cpp snmp/udp_posix.cpp"; corpus=ping_match; max_len=4096 ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
out=build/fuzz
mkdir -p "$out" "$out/$target-new"
clang++ -std=c++17 -g -O1 -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  $sources ${libs:-} -o "$out/$target"
"$out/$target" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 \
  "$out/$target-new" "fuzz/corpus/$corpus" 2>&1 | tee "$out/$target.log" | grep -E '^#|stat::|ERROR|SUMMARY' | tail -n 25
# Keep the corpus small: merge only what adds coverage.
"$out/$target" -merge=1 "fuzz/corpus/$corpus" "$out/$target-new" >/dev/null 2>&1 || true
