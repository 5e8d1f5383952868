# The Debian package: built by CPack from the optimised program (preset deb), then checked for
# what it installs (program, .desktop file, icons, manual page, copyright, changelog), for
# dependencies read from the program, and by lintian, which must report no errors.
set -euo pipefail
cd "$(dirname "$0")/../.."

for tool in dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" > /dev/null || {
    echo "FAIL: $tool is missing (scripts/setup installs it)"
    exit 1
  }
done

version=$(sed -n 's/^project(orvane_panel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
cmake --preset deb > /dev/null
cmake --build --preset deb -j "${ORVANE_JOBS:-2}" > /dev/null
rm -f build/deb/orvane-panel_*.deb
cpack --preset deb > /dev/null
deb="build/deb/orvane-panel_${version}_amd64.deb"
[ -f "$deb" ] || {
  echo "FAIL: no $deb"
  ls build/deb/*.deb 2> /dev/null
  exit 1
}
echo "--- $deb"
dpkg-deb -c "$deb"

source scripts/test.d/checks.bash
contents=$(dpkg-deb -c "$deb" | awk '{ print $1 " " $6 }')
# expect MODE PATH: the package holds PATH with exactly that mode.
expect() {
  grep -qxF -- "$1 ./$2" <<< "$contents" || fail "not in the package as $1: /$2"
}
expect -rwxr-xr-x usr/bin/orvane-panel
expect -rw-r--r-- usr/share/applications/orvane-panel.desktop
expect -rw-r--r-- usr/share/icons/hicolor/16x16/apps/orvane-panel.png
expect -rw-r--r-- usr/share/icons/hicolor/32x32/apps/orvane-panel.png
expect -rw-r--r-- usr/share/man/man1/orvane-panel.1.gz
expect -rw-r--r-- usr/share/doc/orvane-panel/copyright
expect -rw-r--r-- usr/share/doc/orvane-panel/changelog.gz
unexpected=$(grep -Ev ' \./usr/((bin|share)/.*)?$' <<< "$contents" || true)
[ -z "$unexpected" ] || fail "outside /usr/bin and /usr/share: $unexpected"

# The .desktop file names the program and the icon that the package brings.
desktop=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/orvane-panel.desktop)
grep -qx 'Exec=orvane-panel' <<< "$desktop" || fail ".desktop file: no Exec=orvane-panel"
grep -qx 'Icon=orvane-panel' <<< "$desktop" || fail ".desktop file: no Icon=orvane-panel"

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libqt6widgets6 libstdc++6; do
  grep -q "\b$library (>= " <<< "$depends" || fail "no versioned dependency on $library"
done

# The packaged program runs and knows its version (no display needed for --version).
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
shown=$("$unpacked/usr/bin/orvane-panel" --version)
[ "$shown" = "orvane-panel $version" ] || fail "--version shows '$shown'"

echo "--- lintian"
lintian_out=$(lintian --pedantic "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -n "$lintian_out" ] && echo "$lintian_out"
errors=$(grep -c '^E: ' <<< "$lintian_out" || true)
[ "$errors" -eq 0 ] || fail "lintian reports $errors errors"

endChecks "Debian package"
