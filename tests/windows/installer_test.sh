#!/usr/bin/env bash
# Installs the Windows setup program silently into a Wine prefix of its own, runs what it
# installed (both programs' --version, the CLI reading the Linux virtual printer's clock over TCP
# on 127.0.0.1), uninstalls it silently and checks that nothing of it is left.
#   tests/windows/installer_test.sh SETUP.exe PRINTER_SIM
# e.g. build/windows/package/Q73580-Utility-1.0.0-setup.exe build/dev/tools/printer-sim/q73580-printer-sim
# The zip beside the setup program gives the files expected. Exits 0 when all holds, 1 when not,
# 77 when Wine or makensis is missing. The prefix is build/windows/installer-test/prefix for
# build/windows/package/*-setup.exe, made afresh each run and removed when all held.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 SETUP.exe PRINTER_SIM" >&2; exit 2; }
setup=$(realpath "$1")
sim=$(realpath "$2")
wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || [ ! -x /usr/lib/wine/wineserver ] || wineserver=/usr/lib/wine/wineserver
if [ -z "$wine" ] || [ -z "$wineserver" ] || ! command -v makensis >/dev/null; then
  echo "installer_test: skipped: no wine64, wineserver or makensis (scripts/bootstrap)"
  exit 77
fi
[ -f "$setup" ] && [ -x "$sim" ] || { echo "installer_test: no $setup or no $sim" >&2; exit 1; }

version=$(basename "$setup" | sed -n 's/^Q73580-Utility-\(.*\)-setup\.exe$/\1/p')
zipfile=${setup%-setup.exe}-windows-x64.zip
[ -n "$version" ] && [ -f "$zipfile" ] || { echo "installer_test: no version or zip for $setup" >&2; exit 1; }

work=$(dirname "$(dirname "$setup")")/installer-test
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree=;mshtml="
app="$WINEPREFIX/drive_c/Program Files/Q73580 Utility"
link="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Q73580 Utility.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Q73580 Utility'
windir='C:\Program Files\Q73580 Utility'

sim_pid=
passed=0
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  # Stops this prefix's server and its programs only.
  "$wineserver" -k 2>/dev/null || true
  timeout 30 "$wineserver" -w 2>/dev/null || true
  # The prefix (some 700 MB) stays for a look only when something failed.
  [ "$passed" -eq 0 ] || rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failures=0
check() { # check WHAT COMMAND...: runs COMMAND, says "ok"/"FAIL" with WHAT
  if "${@:2}"; then echo "ok    $1"; else echo "FAIL  $1"; failures=$((failures + 1)); fi
}
# Each Wine program bounded in time, its messages in wine.err.
run() { timeout "${WINE_TIMEOUT:-120}" "$wine" "$@" </dev/null 2>>"$work/wine.err"; }
run_quietly() { run "$@" >/dev/null; }

start=$(date +%s)
mkdir -p "$WINEPREFIX"
# One server up to the uninstall, so that Wine's background programs start once, here, with no
# output of ours to hold open; it ends a minute after its last program if this test is killed.
"$wineserver" -p60 >/dev/null 2>&1 </dev/null
run wineboot -i >/dev/null
check "the installer exits 0 with /S" run "$setup" /S

# What the zip holds, less its top folder, and the uninstaller.
expected=$( (unzip -Z1 "$zipfile" | sed -n 's|^[^/]*/||p' | grep -v '/$' | grep .; echo Uninstall.exe) | LC_ALL=C sort)
installed=$( (cd "$app" 2>/dev/null && find . -type f | sed 's|^\./||') | LC_ALL=C sort)
check "Program Files holds the zip's files and Uninstall.exe" [ "$installed" = "$expected" ]
check "the Start Menu entry" [ -f "$link" ]
query=$(run reg query "$key" | tr -d '\r' || true)
value() { # the data of the uninstall key's value $1
  awk -v name="$1" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]+/, ""); print }' <<<"$query"
}
check "DisplayName" [ "$(value DisplayName)" = "Q73580 Utility" ]
check "DisplayVersion" [ "$(value DisplayVersion)" = "$version" ]
check "UninstallString" [ "$(value UninstallString)" = "\"$windir\\Uninstall.exe\"" ]
check "InstallLocation" [ "$(value InstallLocation)" = "$windir" ]

for program in q73580-cli q73580-utility; do
  answer=$(run "$windir\\$program.exe" --version | tr -d '\r' || true)
  check "$program --version: '$answer'" [ "$answer" = "$program $version" ]
done

# The Linux virtual printer on an unused loopback port, which it prints as "tcp HOST:PORT".
coproc SIM { exec "$sim" --tcp 127.0.0.1:0 --no-udp 2>"$work/sim.err"; }
# shellcheck disable=SC2153 # coproc sets SIM_PID
sim_pid=$SIM_PID
address=
while [ -z "$address" ] && read -r -t 10 -u "${SIM[0]}" line; do
  [[ $line =~ ^tcp\ (127\.0\.0\.1:[0-9]+)$ ]] && address=${BASH_REMATCH[1]}
done
check "the virtual printer listens ($address)" [ -n "$address" ]
if [ -n "$address" ]; then
  clock=$(run "$windir\\q73580-cli.exe" --net "$address" clock get | tr -d '\r' || true)
  # The printer's clock is this machine's, in UTC.
  off=-99999
  if [[ $clock =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]]; then
    off=$(($(date -u -d "$clock" +%s) - $(date -u +%s)))
  fi
  check "clock get over TCP: '$clock'" [ "$off" -ge -300 -a "$off" -le 300 ]
fi

# The uninstaller copies itself to a temporary folder, starts the copy and returns. Started in a
# session of its own, its copy is done when that session's server has no program left and ends.
"$wineserver" -k
timeout 30 "$wineserver" -w || true
check "the uninstaller exits 0 with /S" run_quietly "$windir\\Uninstall.exe" /S
check "the uninstaller finishes" timeout 120 "$wineserver" -w
check "the uninstall key is gone" bash -c "! timeout 60 '$wine' reg query '$key' >/dev/null 2>&1 </dev/null"
check "nothing is left in Program Files" [ ! -e "$app" ]
check "the Start Menu entry is gone" [ ! -e "$link" ]

echo "installer_test: $failures failed, $(($(date +%s) - start)) s"
[ "$failures" -eq 0 ] || exit 1
passed=1
