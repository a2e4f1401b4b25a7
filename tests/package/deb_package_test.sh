#!/usr/bin/env bash
# Checks the three .debs scripts/package made: their control fields and files, then installs them
# with apt-get, runs the installed programs, starts the utility until its main window is up, and
# removes them again, leaving none of their files behind.
#   deb_package_test.sh PACKAGE_DIR BUILD_DIR APP_ID VERSION
# Installing needs root and a machine without these packages; elsewhere the packages are
# unpacked into a scratch root and run from there. Under Xvfb with xdotool the window itself is
# looked for; without them the utility runs on the offscreen platform and has to be still
# running, silent, after 5 s.
set -euo pipefail

package_dir=$(realpath "$1")
build_dir=$(realpath "$2")
app_id=$3
version=$4
packages=(q73580-utility q73580-cli q73580-printer-sim)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

scratch=$(mktemp -d "$build_dir/package-test.XXXXXX")
pids=()
installed=0
apt=(apt-get -y -q -o DPkg::Lock::Timeout=120)
present() { # installed, or half so, or its configuration kept
  local status
  status=$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null) || true
  [ -n "$status" ] && [ "$status" != not-installed ]
}
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ "$installed" -eq 1 ]; then
    "${apt[@]}" remove --purge "${packages[@]}" >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# 1. The packages' control fields.
arch=$(dpkg --print-architecture)
declare -A deb
for p in "${packages[@]}"; do
  deb[$p]="$package_dir/${p}_${version}_${arch}.deb"
  [ -f "${deb[$p]}" ] || fail "no $(basename "${deb[$p]}"); in $package_dir: $(ls "$package_dir")"
  field() { dpkg-deb -f "${deb[$p]}" "$1"; }
  [ "$(field Package)" = "$p" ] || fail "$p: Package is '$(field Package)'"
  [ "$(field Version)" = "$version" ] || fail "$p: Version is '$(field Version)'"
  [ "$(field Architecture)" = "$arch" ] || fail "$p: Architecture is '$(field Architecture)'"
  [ -n "$(field Maintainer)" ] || fail "$p: no Maintainer"
done
depends() { dpkg-deb -f "${deb[$1]}" Depends; }
names() { # the package names in a Depends field, one a line
  tr ',|' '\n\n' <<<"$1" | sed 's/^ *//; s/[ (].*//' | grep .
}
# Depends comes from dpkg-shlibdeps, plus the SVG plugins Qt loads itself and the CLI's package
# with the udev rule. A headless host gets the CLI without Qt's GUI libraries.
for lib in libqt6widgets6 libqt6network6 libqt6serialport6 libusb-1.0-0 libqt6svg6 q73580-cli; do
  names "$(depends q73580-utility)" | grep -qx "$lib" || fail "q73580-utility does not depend on $lib"
done
for lib in libqt6core6 libqt6network6 libqt6serialport6 libusb-1.0-0; do
  names "$(depends q73580-cli)" | grep -qx "$lib" || fail "q73580-cli does not depend on $lib"
done
gui=$(names "$(depends q73580-cli)" | grep -E '^libqt6(gui|widgets|svg)' || true)
[ -z "$gui" ] || fail "q73580-cli depends on $gui"
if names "$(depends q73580-printer-sim)" | grep -q '^libqt6'; then
  fail "q73580-printer-sim depends on Qt: $(depends q73580-printer-sim)"
fi

# 2. Exactly the expected files in each package.
doc() { printf './usr/share/doc/%s/changelog.gz\n./usr/share/doc/%s/copyright\n' "$1" "$1"; }
declare -A expected
expected[q73580-utility]="./usr/bin/q73580-utility
./usr/share/applications/$app_id.desktop
./usr/share/icons/hicolor/scalable/apps/$app_id.svg
./usr/share/man/man1/q73580-utility.1.gz
./usr/share/metainfo/$app_id.metainfo.xml
$(doc q73580-utility)"
expected[q73580-cli]="./usr/bin/q73580-cli
./etc/ufw/applications.d/q73580
./usr/lib/firewalld/services/q73580.xml
./usr/lib/udev/rules.d/70-q73580-printer.rules
./usr/share/bash-completion/completions/q73580-cli
./usr/share/fish/vendor_completions.d/q73580-cli.fish
./usr/share/zsh/vendor-completions/_q73580-cli
./usr/share/man/man1/q73580-cli.1.gz
$(doc q73580-cli)"
expected[q73580-printer-sim]="./usr/bin/q73580-printer-sim
./usr/share/man/man1/q73580-printer-sim.1.gz
$(doc q73580-printer-sim)"
root="$scratch/root"
for p in "${packages[@]}"; do
  actual=$(dpkg-deb -c "${deb[$p]}" | grep -v '^d' | awk '{print $6}' | sort)
  want=$(sort <<<"${expected[$p]}")
  [ "$actual" = "$want" ] || fail "files in $p:
$actual
expected:
$want"
  dpkg-deb -x "${deb[$p]}" "$root"
done
for exe in q73580-utility q73580-cli q73580-printer-sim; do
  [ -x "$root/usr/bin/$exe" ] || fail "$exe is not executable"
done
cmp -s "$root/usr/lib/udev/rules.d/70-q73580-printer.rules" \
  "$build_dir/packaging/70-q73580-printer.rules" || fail "the udev rule differs from the build's"
# It opens up the build's vendor id only, never every maker's printers.
vendor=$(sed -n 's/^Q73580_PRINTER_VENDOR_ID:STRING=//p' "$build_dir/CMakeCache.txt")
rule=$(grep -v '^#' "$root/usr/lib/udev/rules.d/70-q73580-printer.rules")
[[ $rule == *'ATTR{idVendor}=="'"$vendor"'"'* && $(wc -l <<<"$rule") -eq 1 ]] ||
  fail "the udev rule does not hold to vendor id $vendor: $rule"

# The firewall files open exactly the port the CLI says the answers come to, for UDP, and each
# firewall takes its file: firewalld's own offline checker on a copy of its configuration (or its
# service reader where only python3-firewall is installed), ufw's profile reader (and
# `ufw app info` once installed, below).
reply_port=$("$root/usr/bin/q73580-cli" discover --help | sed -n 's/.*come to UDP port \([0-9]*\).*/\1/p')
[[ $reply_port =~ ^[0-9]+$ ]] || fail "q73580-cli discover --help names no reply port"
conffiles=$(dpkg-deb --ctrl-tarfile "${deb[q73580-cli]}" | tar -xO ./conffiles 2>/dev/null) || true
[ "$conffiles" = /etc/ufw/applications.d/q73580 ] || fail "q73580-cli's conffiles: $conffiles"
service="$root/usr/lib/firewalld/services/q73580.xml"
grep -q "<port protocol=\"udp\" port=\"$reply_port\"/>" "$service" ||
  fail "the firewalld service does not open UDP port $reply_port: $(cat "$service")"
[ "$(grep -c '<port ' "$service")" -eq 1 ] || fail "the firewalld service opens more than one port"
if command -v firewall-offline-cmd >/dev/null && [ -d /usr/lib/firewalld ]; then
  mkdir -p "$scratch/firewalld/etc"
  cp -r /usr/lib/firewalld "$scratch/firewalld/usr"
  cp "$service" "$scratch/firewalld/usr/services/"
  cp /etc/firewalld/firewalld.conf "$scratch/firewalld/etc/" 2>/dev/null ||
    echo "DefaultZone=public" >"$scratch/firewalld/etc/firewalld.conf"
  fw=(firewall-offline-cmd --default-config="$scratch/firewalld/usr"
    --system-config="$scratch/firewalld/etc")
  out=$("${fw[@]}" --check-config 2>&1) || fail "firewall-offline-cmd --check-config: $out"
  info=$("${fw[@]}" --info-service=q73580 2>&1) || fail "firewall-offline-cmd: $info"
  grep -qx "  ports: $reply_port/udp" <<<"$info" || fail "firewalld reads the service as: $info"
  echo "firewalld takes the service: ports $reply_port/udp"
elif [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import firewall.core.io.service' 2>/dev/null; then
  # firewalld's own reader of service files (python3-firewall), without the daemon.
  read_service=$(/usr/bin/python3 -c '
import os, sys
from firewall.core.io.service import service_reader
service = service_reader(os.path.basename(sys.argv[1]), os.path.dirname(sys.argv[1]))
print(" ".join(port + "/" + protocol for port, protocol in service.ports))
' "$service" 2>&1) || fail "firewalld's service reader: $read_service"
  [ "$read_service" = "$reply_port/udp" ] || fail "firewalld reads the service as: $read_service"
  echo "firewalld's reader takes the service: ports $read_service"
else
  echo "neither firewalld nor python3-firewall is installed: the service is checked by its port line only"
fi
profile="$root/etc/ufw/applications.d/q73580"
grep -qx "ports=$reply_port/udp" "$profile" || fail "the ufw profile: $(cat "$profile")"
if [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import ufw.applications' 2>/dev/null; then
  read_profile=$(/usr/bin/python3 -c '
import gettext, sys
gettext.install("ufw")
import ufw.applications
print(ufw.applications.get_profiles(sys.argv[1]).get("Q73580", {}).get("ports", ""))
' "$root/etc/ufw/applications.d" 2>&1) || fail "ufw's profile reader: $read_profile"
  [ "$read_profile" = "$reply_port/udp" ] || fail "ufw reads the profile as: $read_profile"
  echo "ufw takes the profile: ports $read_profile"
else
  echo "ufw is not installed: its profile is checked by its ports line only"
fi

# The entry starts the packaged binary and names the packaged icon.
desktop="$root/usr/share/applications/$app_id.desktop"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ -x "$root/usr/bin/$(entry Exec)" ] || fail "Exec=$(entry Exec) is not in the package"
[ "$(entry Icon)" = "$app_id" ] || fail "Icon=$(entry Icon)"
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$desktop" 2>&1) || true
  [ -z "$out" ] || fail "desktop-file-validate: $out"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate-tree --no-net "$root" >"$scratch/validate.log" 2>&1 ||
    fail "appstreamcli validate-tree: $(cat "$scratch/validate.log")"
fi

# 3. Installed with apt-get, as the README says, where this machine allows it: only when it needs
# nothing but the files given (nothing is fetched), and one package test at a time on a machine.
prefix=$root
debs=("${deb[q73580-utility]}" "${deb[q73580-cli]}" "${deb[q73580-printer-sim]}")
can_install() {
  [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null || return 1
  for p in "${packages[@]}"; do
    if present "$p"; then
      echo "$p is installed on this machine already: it is left alone" >&2
      return 1
    fi
  done
  local others
  others=$("${apt[@]}" install --simulate --no-install-recommends "${debs[@]}" 2>&1 |
    sed -n 's/^Inst \([^ ]*\).*/\1/p' | grep -vxE 'q73580-(utility|cli|printer-sim)' || true)
  if [ -n "$others" ]; then
    echo "installing would fetch" $others >&2
    return 1
  fi
}
exec 9>/run/lock/q73580-deb-package-test.lock
flock -w 600 9 || fail "another package test held the lock for 10 min"
if can_install; then
  installed=1
  "${apt[@]}" install --no-install-recommends "${debs[@]}" >"$scratch/apt.log" 2>&1 || fail "apt-get install: $(cat "$scratch/apt.log")"
  prefix=""
  for p in "${packages[@]}"; do
    [ "$(dpkg-query -W -f='${Status}' "$p")" = "install ok installed" ] || fail "$p is not installed"
  done
  if command -v man >/dev/null; then
    man=$(man -w q73580-cli 2>&1) || fail "man -w q73580-cli: $man"
    echo "installed; man finds the CLI's page at $man"
  fi
  if command -v ufw >/dev/null; then
    info=$(ufw app info Q73580 2>&1) || fail "ufw app info Q73580: $info"
    grep -qx "  $reply_port/udp" <<<"$info" || fail "ufw app info Q73580 says: $info"
    echo "installed; ufw app info Q73580 lists $reply_port/udp"
  fi
else
  echo "not installed (needs root and apt-get): the unpacked packages are checked instead"
fi
[ -s "$prefix/usr/share/man/man1/q73580-cli.1.gz" ] || fail "no manual page of q73580-cli"
help=$("$prefix/usr/bin/q73580-cli" --help 2>&1) || fail "q73580-cli --help: $help"
[[ $help == Usage:\ q73580-cli* ]] || fail "q73580-cli --help says: $help"

# 4. The utility starts and shows its main window. Its own files only: nothing is read from or
# written to the user's home, and the icon theme search sees the packaged icon first.
mkdir -m 700 "$scratch/home" "$scratch/runtime"
run_env=(env HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
  XDG_CONFIG_HOME="$scratch/home/.config" XDG_CACHE_HOME="$scratch/home/.cache"
  XDG_DATA_DIRS="$prefix/usr/share:/usr/share")
utility="$prefix/usr/bin/q73580-utility"
err="$scratch/utility.err"

# A private X server: it picks a free display itself (-displayfd) and writes its number once it
# accepts connections; a cookie of its own. A server that cannot be had is reported and the
# offscreen check below runs instead: the packages are under test here, not the X setup.
x_display=""
start_x_server() {
  local n xpid cookie
  cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
  # The server takes every cookie in its file; clients look theirs up by display number.
  xauth -q -f "$scratch/Xauthority" add :0 . "$cookie" 2>/dev/null || return 1
  Xvfb -displayfd 3 -auth "$scratch/Xauthority" -screen 0 1024x768x24 -nolisten tcp -noreset \
    3>"$scratch/display" 9>&- >"$scratch/xvfb.log" 2>&1 &
  xpid=$!
  pids+=("$xpid")
  for _ in $(seq 100); do # 10 s at most
    n=$(head -n1 "$scratch/display" 2>/dev/null) || true
    [[ $n =~ ^[0-9]+$ ]] && break
    kill -0 "$xpid" 2>/dev/null || break
    sleep 0.1
  done
  if ! [[ $n =~ ^[0-9]+$ ]]; then
    echo "Xvfb gave no display number: $(cat "$scratch/xvfb.log")" >&2
    return 1
  fi
  xauth -q -f "$scratch/Xauthority" add ":$n" . "$cookie" 2>/dev/null || return 1
  if ! XAUTHORITY="$scratch/Xauthority" DISPLAY=":$n" timeout 10 xprop -root >/dev/null 2>&1; then
    echo "Xvfb :$n does not answer: $(cat "$scratch/xvfb.log")" >&2
    return 1
  fi
  x_display=":$n"
}

if command -v Xvfb >/dev/null && command -v xauth >/dev/null && command -v xdotool >/dev/null &&
  command -v xprop >/dev/null && start_x_server; then
  display=$x_display
  run_env+=(XAUTHORITY="$scratch/Xauthority")
  export XAUTHORITY="$scratch/Xauthority"

  "${run_env[@]}" DISPLAY="$display" QT_QPA_PLATFORM=xcb "$utility" \
    >"$scratch/utility.out" 2>"$err" 9>&- &
  app=$!
  pids+=("$app")
  window=""
  for _ in $(seq 200); do # 20 s at most
    kill -0 "$app" 2>/dev/null ||
      fail "the utility ended at start: $(cat "$err")
the X server's log: $(cat "$scratch/xvfb.log")"
    # The main window, not Qt's hidden group leader of the same name: the one that is mapped.
    window=$(DISPLAY="$display" xdotool search --onlyvisible --name '^Q73580 Utility$' 2>/dev/null |
      head -n1) || true
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "no main window within 20 s"
  # (xprop draws the icon as text; only its start is needed, so the pipe may close early.)
  props=$(DISPLAY="$display" xprop -id "$window" WM_CLASS _NET_WM_ICON | head -c 2000) || true
  # The window manager's icon, drawn from the SVG (theme or compiled-in copy).
  grep -q '^_NET_WM_ICON(CARDINAL) = .*Icon (' <<<"$props" || fail "the window has no icon: $props"
  # The desktop ties the window to the entry through StartupWMClass.
  wm_class=$(sed -n 's/^WM_CLASS(STRING) = //p' <<<"$props")
  [[ "$wm_class" == *"\"$(entry StartupWMClass)\""* ]] ||
    fail "StartupWMClass=$(entry StartupWMClass) does not match WM_CLASS $wm_class"
  echo "main window $window up on $display, WM_CLASS $wm_class"
  kill -0 "$app" 2>/dev/null || fail "the utility ended: $(cat "$err")"
  kill "$app"
  wait "$app" 2>/dev/null || true
else
  echo "no X server to be had (Xvfb, xauth, xdotool or xprop missing, or none answered):" \
    "the utility runs offscreen for 5 s instead"
  status=0
  "${run_env[@]}" QT_QPA_PLATFORM=offscreen timeout 5 "$utility" >"$scratch/utility.out" \
    2>"$err" || status=$?
  [ "$status" -eq 124 ] || fail "the utility ended with $status before 5 s: $(cat "$err")"
fi
[ ! -s "$err" ] || fail "the utility printed errors: $(cat "$err")"

# 5. Removed again, with every file it brought.
if [ "$installed" -eq 1 ]; then
  "${apt[@]}" remove --purge "${packages[@]}" >"$scratch/apt.log" 2>&1 ||
    fail "apt-get remove: $(cat "$scratch/apt.log")"
  installed=0
  for p in "${packages[@]}"; do
    if present "$p"; then
      fail "$p is still installed"
    fi
    left=$(dpkg-deb -c "${deb[$p]}" | grep -v '^d' | awk '{print substr($6, 2)}' |
      while read -r f; do [ ! -e "$f" ] || echo "$f"; done)
    [ -z "$left" ] || fail "removing $p left $left"
  done
  echo "removed"
fi
echo "packages $(cd "$package_dir" && echo *.deb) checked"
