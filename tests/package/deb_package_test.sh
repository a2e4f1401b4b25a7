#!/usr/bin/env bash
# Builds the .deb from a build tree, unpacks it into a scratch root (no root rights, nothing
# installed on this machine), checks what it carries and starts the unpacked utility until its
# main window is up.
#   deb_package_test.sh BUILD_DIR APP_ID VERSION
# Under Xvfb with xdotool the window itself is looked for; without them the utility runs on the
# offscreen platform and has to be still running, silent, after 5 s.
set -euo pipefail

build_dir=$1
app_id=$2
version=$3

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

scratch=$(mktemp -d "$build_dir/package-test.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

# 1. The package, made in the scratch folder so that a package built by hand is left alone.
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  {
    cat "$scratch/cpack.log" >&2
    fail "cpack failed"
  }
arch=$(dpkg --print-architecture)
deb="$scratch/out/q73580-utility_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$scratch/out")"

# 2. Its control fields. Depends comes from dpkg-shlibdeps, plus the SVG plugins Qt loads itself.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = q73580-utility ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Section)" = utils ] || fail "Section is '$(field Section)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6network6 libqt6serialport6 libusb-1.0-0 libqt6svg6; do
  [[ ", $depends," == *", $lib"[\ ,]* ]] || fail "Depends does not name $lib"
done

# 3. Exactly the expected files, and the right ones.
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
expected=$(
  sort <<EOF
./usr/bin/q73580-cli
./usr/bin/q73580-printer-sim
./usr/bin/q73580-utility
./usr/lib/udev/rules.d/70-q73580-printer.rules
./usr/share/applications/$app_id.desktop
./usr/share/bash-completion/completions/q73580-cli
./usr/share/icons/hicolor/scalable/apps/$app_id.svg
./usr/share/metainfo/$app_id.metainfo.xml
EOF
)
actual=$(cd "$root" && find . ! -type d | sort)
[ "$actual" = "$expected" ] || fail "files in the package:
$actual
expected:
$expected"
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

# 4. The unpacked utility starts and shows its main window. Its own files only: nothing is read
# from or written to the user's home, and the icon theme search sees the unpacked icon first.
mkdir -m 700 "$scratch/home" "$scratch/runtime"
run_env=(env HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
  XDG_CONFIG_HOME="$scratch/home/.config" XDG_CACHE_HOME="$scratch/home/.cache"
  XDG_DATA_DIRS="$root/usr/share:/usr/share")
utility="$root/usr/bin/q73580-utility"
err="$scratch/utility.err"

# A private X server: a display number of its own (no lock file and no listening socket, in the
# file system or the abstract namespace, of another server), a cookie of its own, and proof that
# it answers before the utility is started. A server that cannot be had is reported and the
# offscreen check below runs instead: the package is what is under test here, not the X setup.
x_display=""
start_x_server() {
  local attempt n xpid
  for attempt in 1 2 3 4 5; do
    n=$((200 + (RANDOM % 700)))
    [ -e "/tmp/.X$n-lock" ] && continue
    grep -q "/tmp/.X11-unix/X$n\$" /proc/net/unix 2>/dev/null && continue
    rm -f "$scratch/Xauthority"
    xauth -q -f "$scratch/Xauthority" add ":$n" . "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')" ||
      return 1
    Xvfb ":$n" -auth "$scratch/Xauthority" -screen 0 1024x768x24 -nolisten tcp \
      >"$scratch/xvfb.log" 2>&1 &
    xpid=$!
    pids+=("$xpid")
    for _ in $(seq 100); do # 10 s at most
      kill -0 "$xpid" 2>/dev/null || break
      if XAUTHORITY="$scratch/Xauthority" DISPLAY=":$n" xprop -root >/dev/null 2>&1; then
        x_display=":$n"
        return 0
      fi
      sleep 0.1
    done
    echo "Xvfb :$n was not usable (attempt $attempt): $(cat "$scratch/xvfb.log")" >&2
    kill "$xpid" 2>/dev/null || true
  done
  return 1
}

if command -v Xvfb >/dev/null && command -v xauth >/dev/null && command -v xdotool >/dev/null &&
  command -v xprop >/dev/null && start_x_server; then
  display=$x_display
  run_env+=(XAUTHORITY="$scratch/Xauthority")
  export XAUTHORITY="$scratch/Xauthority"

  "${run_env[@]}" DISPLAY="$display" QT_QPA_PLATFORM=xcb "$utility" >"$scratch/utility.out" 2>"$err" &
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
else
  echo "no X server to be had (Xvfb, xauth, xdotool or xprop missing, or none answered):" \
    "the utility runs offscreen for 5 s instead"
  status=0
  "${run_env[@]}" QT_QPA_PLATFORM=offscreen timeout 5 "$utility" >"$scratch/utility.out" \
    2>"$err" || status=$?
  [ "$status" -eq 124 ] || fail "the utility ended with $status before 5 s: $(cat "$err")"
fi
[ ! -s "$err" ] || fail "the utility printed errors: $(cat "$err")"
echo "package $(basename "$deb") checked"
