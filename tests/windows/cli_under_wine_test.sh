#!/usr/bin/env bash
# q73580-cli.exe under Wine against the Linux virtual printer, run by with-virtual-printer: the
# clock over TCP, over a COM port through the Windows serial code to the printer's pty, over an
# LPT port to its FIFO and to a printer that takes nothing, a Latin-1 name, and a USB open that
# fails with its cause.
#   with-virtual-printer SIM -- cli_under_wine_test.sh CLI.exe
set -uo pipefail
cli=$1
name=Büro-3
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run
log=${Q73580_WINE_PRINTER_LOG#Z:}
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# Runs the CLI, bounded; its standard output and error land in $out and $err, its status in $rc.
cli() {
  out=$(timeout 60 "$wine_run" "$cli" "$@" 2>"$tmp/err")
  rc=$?
  out=${out//$'\r'/}  # the Windows C library ends its lines with CR LF
  err=$(tr -d '\r' <"$tmp/err")
}
expect() {  # expect WHAT STATUS: the last run ended with STATUS
  [ "$rc" -eq "$2" ] || fail "$1: exit $rc, expected $2 (out: $out; err: $err)"
}
logged() {  # logged WHAT LINE-PATTERN: the printer received a line matching it
  grep -qE "$2" "$log" || fail "$1: the printer's log has no line matching '$2'"
}
tmp=$(mktemp -d)
stuck_link=
stuck_pid=
cleanup() {
  [ -z "$stuck_pid" ] || { kill "$stuck_pid" 2>/dev/null; wait "$stuck_pid" 2>/dev/null; }
  [ -z "$stuck_link" ] || rm -f "$stuck_link"
  rm -rf "$tmp"
}
trap cleanup EXIT

cli --version
expect "--version" 0
[[ "$out" == "q73580-cli "* ]] || fail "--version printed '$out'"

cli --net "$Q73580_WINE_PRINTER_TCP" clock get
expect "clock get over TCP" 0
[[ "$out" =~ ^20[0-9]{2}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] ||
  fail "clock get over TCP printed '$out'"

# The name goes from the Windows command line to the printer in Latin-1, and comes back out of
# the CLI as UTF-8, whatever the Windows code page.
cli --net "$Q73580_WINE_PRINTER_TCP" name set "$name"
expect "name set over TCP" 0
logged "name set over TCP" '<- "NET NAME \\"B\\xFCro-3\\"\\r\\n"$'
cli --net "$Q73580_WINE_PRINTER_TCP" --json net get
expect "net get over TCP" 0
[[ "$out" == *"\"name\":\"$name\""* ]] || fail "net get over TCP: no name '$name' in $out"

cli --com "$Q73580_WINE_PRINTER_COM" --baud 9600 clock set 2031-04-05 06:07:08
expect "clock set over $Q73580_WINE_PRINTER_COM" 0
logged "clock set over $Q73580_WINE_PRINTER_COM" '^[0-9:.]+ pty#[0-9]+ <- "TS04,05,31,06,07,08\\r\\n"$'
cli --com "$Q73580_WINE_PRINTER_COM" clock get
expect "clock get over $Q73580_WINE_PRINTER_COM" 0
[[ "$out" == "2031-04-05 06:07:"* ]] || fail "clock get over $Q73580_WINE_PRINTER_COM printed '$out'"

cli --lpt "$Q73580_WINE_PRINTER_LPT" clock set 2032-01-02 03:04:05
expect "clock set over $Q73580_WINE_PRINTER_LPT" 0
logged "clock set over $Q73580_WINE_PRINTER_LPT" '^[0-9:.]+ fifo#[0-9]+ <- "TS01,02,32,03,04,05\\r\\n"$'

# A parallel printer that takes nothing: a FIFO whose reader never reads, filled to the brim.
# The write must give up at its deadline with Transmit Data Error, not hang.
mkfifo "$tmp/stuck"
sleep 600 <>"$tmp/stuck" &
stuck_pid=$!
dd if=/dev/zero of="$tmp/stuck" bs=1M count=1 oflag=nonblock status=none 2>/dev/null
dosdevices=${Q73580_WINE_PREFIX:?}/dosdevices
stuck_port=
for n in 1 2 3 4; do
  if ln -s "$tmp/stuck" "$dosdevices/lpt$n" 2>/dev/null; then
    stuck_port=LPT$n
    stuck_link=$dosdevices/lpt$n
    break
  fi
done
if [ -z "$stuck_port" ]; then
  fail "no free LPT port in $dosdevices for the stuck printer"
else
  cli --lpt "$stuck_port" clock set 2032-01-02 03:04:05
  expect "clock set to a stuck $stuck_port" 2
  [[ "$err" == *"Transmit Data Error"* ]] || fail "clock set to a stuck $stuck_port said '$err'"
fi

cli --usb clock get
expect "clock get over USB" 1
[[ "$err" == *"Open Port Error: no USB printer with vendor id "* ]] ||
  fail "clock get over USB said '$err'"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
