#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what lands there: the program, the desktop
# entry, the icons and the systemd user unit, each as the desktop and systemd will read it.
# Usage: install_test.sh BUILD_DIR PREFIX VERSION
set -euo pipefail
build=$1 prefix=$2 version=$3

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

DESTDIR="$stage" cmake --install "$build" >/dev/null
root="$stage$prefix"

# Exactly these files, nothing stray.
expected="bin/velmor
lib/systemd/user/velmor.service
share/applications/velmor.desktop
share/doc/velmor/changelog.gz
share/doc/velmor/copyright
share/icons/hicolor/48x48/apps/velmor.png
share/icons/hicolor/scalable/apps/velmor.svg
share/man/man1/velmor.1.gz"
actual=$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ:"$'\n'"$actual"

# The program runs from its installed place without a display.
[ -x "$root/bin/velmor" ] || fail "bin/velmor is not executable"
printed=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$root/bin/velmor" --version) \
  || fail "velmor --version failed"
[ "$printed" = "velmor $version" ] || fail "velmor --version printed '$printed', not 'velmor $version'"

# The desktop entry: valid, and naming the installed program and icon.
desktop="$root/share/applications/velmor.desktop"
validation=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $validation"
[ -z "$validation" ] || fail "desktop-file-validate: $validation"
grep -qx 'Exec=velmor' "$desktop" || fail "the desktop entry does not start velmor"
grep -qx 'Icon=velmor' "$desktop" || fail "the desktop entry does not name the velmor icon"

# The icons: a 48 x 48 PNG (width and height are the IHDR's first two big-endian words) and an SVG.
png="$root/share/icons/hicolor/48x48/apps/velmor.png"
[ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "velmor.png is not a PNG"
[ "$(od -An -j16 -N8 -tx1 "$png" | tr -d ' \n')" = "0000003000000030" ] || fail "velmor.png is not 48 x 48"
grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/velmor.svg" || fail "velmor.svg is not an SVG"

# The unit runs the installed program offscreen, in background mode, restarted on failure.
unit="$root/lib/systemd/user/velmor.service"
for line in "ExecStart=$prefix/bin/velmor --background" 'Environment=QT_QPA_PLATFORM=offscreen' \
  'Restart=on-failure' 'KillSignal=SIGTERM' 'WantedBy=default.target' 'Type=notify' 'WatchdogSec=30'; do
  grep -qxF "$line" "$unit" || fail "the unit lacks '$line'"
done
# The manual page is made from --help and names every option.
manual=$(gzip -dc "$root/share/man/man1/velmor.1.gz") || fail "velmor.1.gz is not gzip"
for option in background version help; do
  grep -q -- "-$option" <<<"$manual" || fail "the manual page lacks --$option"
done

if command -v systemd-analyze >/dev/null; then
  # The unit names the binary below the real prefix; verify a copy that names the staged one.
  runtime=$(mktemp -d -p "$stage")
  sed "s|^ExecStart=$prefix/bin/velmor|ExecStart=$root/bin/velmor|" "$unit" >"$runtime/velmor.service"
  report=$(XDG_RUNTIME_DIR="$runtime" timeout 60 systemd-analyze --user verify --man=no \
    "$runtime/velmor.service" 2>&1) || fail "systemd-analyze verify: $report"
  [ -z "$report" ] || fail "systemd-analyze verify: $report"
else
  echo "systemd-analyze not found: the unit is checked by its lines only"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures install check(s) failed"
  exit 1
fi
echo "install layout: all checks passed"
