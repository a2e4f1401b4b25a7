#!/bin/sh
# q73580-utility answers --help, --version and a usage error with no display at all: no X, no
# Wayland, no platform chosen. Each run is bounded. Arguments: the utility, the project version.
set -u
utility=$1
version=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$utility" "$@"
}

out=$(run --help 2>&1)
status=$?
[ "$status" -eq 0 ] || fail "--help exited $status: $out"
case "$out" in
*"--printer <HOST:PORT>"*"--version"* | *"--version"*"--printer <HOST:PORT>"*) ;;
*) fail "--help does not list --printer and --version: $out" ;;
esac

out=$(run --version 2>&1)
status=$?
[ "$status" -eq 0 ] || fail "--version exited $status: $out"
[ "$out" = "q73580-utility $version" ] || fail "--version printed '$out'"

out=$(run --printer no-port 2>&1)
status=$?
[ "$status" -eq 2 ] || fail "a bad --printer exited $status, not 2: $out"

# A quote would end the host's text in a command to the printer.
out=$(run --printer 'lab"3:9100' 2>&1)
status=$?
case "$status $out" in
"2 q73580-utility: 'lab\"3:9100' is not HOST:PORT."*) ;;
*) fail "a host with a quote was not refused as HOST:PORT ($status): $out" ;;
esac
# An option neither the utility's nor Qt's is refused before Qt looks for a display; Qt's own,
# with its value, is left to Qt.
out=$(run -style fusion --bogus 2>&1)
status=$?
case "$status $out" in
"2 q73580-utility: Unknown option 'bogus'."*) ;;
*) fail "an unknown option was not refused with 2 ($status): $out" ;;
esac

# Digits and dots that are no address would be looked up as a name.
out=$(run --printer 192.168.1.256:9100 2>&1)
status=$?
case "$status $out" in
"2 q73580-utility: '192.168.1.256' is not an IP address"*) ;;
*) fail "a mistyped address was not refused at once ($status): $out" ;;
esac
echo "ok"
