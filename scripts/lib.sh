# Shared by the scripts: installing what is missing, and the Wine prefix.

# Installs the Debian packages that are not installed yet (apt-get update first,
# once, and only when something is missing).
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  # Packages with a service (snmpd, prometheus, the node exporter) start it on
  # install unless policy-rc.d says no: the tests start their own, on loopback
  # addresses, and a system one would hold their ports. A policy the machine
  # already has stays as it is.
  local policy=/usr/sbin/policy-rc.d ours=0 rc
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null && $sudo chmod 755 "$policy" && ours=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  rc=$?
  [ "$ours" -eq 1 ] && $sudo rm -f "$policy"
  return $rc
}

# Creates the Wine prefix of a build folder quietly on first use.
ensure_wine_prefix() {
  local prefix=$1
  if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' wineboot --init >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
    [ -f "$prefix/system.reg" ] || { echo "could not create the Wine prefix in $prefix" >&2; return 1; }
  fi
  # Debian's Wine asks for its own fonts at "Z:\usr\share\wine\../fonts", a Unix "../"
  # inside a Windows path that never resolves, so it loads none of them: the frame
  # then draws the Marlett caption buttons as "0 1 r", and Tahoma falls back to
  # DejaVu. Wine also loads every font in the prefix's Fonts folder, so put them there.
  local fonts=$prefix/drive_c/windows/Fonts
  if [ -d /usr/share/wine/fonts ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts"
    cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
  fi
  # Xvfb has no window manager, and Wine waits about 2 s for one whenever it hides a
  # managed window; unmanaged windows hide at once.
  if ! grep -q '^"Managed"="N"' "$prefix/user.reg" 2>/dev/null; then
    WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  fi
}

# A Wine prefix of a test's own, so that its programs run under a wineserver of their
# own: made quickly from the build's prefix (hard links for the bulk; the registry
# files, which Wine rewrites, as copies), or anew when there is none.
#   private_wine_prefix <source prefix, or empty> <new prefix>
private_wine_prefix() {
  local source=$1 prefix=$2 f
  if [ -n "$source" ] && [ -f "$source/system.reg" ]; then
    cp -al "$source" "$prefix" || return 1
    for f in "$source"/*.reg; do cp --remove-destination "$f" "$prefix/" || return 1; done
  else
    ensure_wine_prefix "$prefix"
  fi
}

# A virtual screen of the caller's own, in network namespace ns when one is
# given: sets xvfb to its process and exports DISPLAY. Returns 1 when it did not
# start within 5 s.
#   start_xvfb <display file> [ns]
start_xvfb() {
  local file=$1 ns=${2:-}
  # ip netns exec becomes the command: $! is the server's own.
  ${ns:+ip netns exec "$ns"} Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$file" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$file" ] && break; sleep 0.1; done
  [ -s "$file" ] || return 1
  export DISPLAY=:$(cat "$file")
}

BUILD_PACKAGES=(cmake ninja-build g++ clang clang-tidy libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth snmpd snmp iproute2 procps
  iputils-ping imagemagick xdotool chromium nodejs libssl-dev libcurl4-openssl-dev python3 openssl
  prometheus prometheus-node-exporter tzdata)
# What bench/run.sh needs beyond the builds.
BENCH_PACKAGES=(python3 hyperfine)
