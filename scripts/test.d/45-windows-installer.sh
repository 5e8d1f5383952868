# The Windows deliveries from the optimised cross-build (preset mingw-release): the MSI (target
# msi, msitools' wixl) and the portable ZIP (cpack --preset zip). Checked without Wine: what the
# ZIP holds, the program's version information, the MSI's version and upgrade code, and signing
# with a throwaway certificate. Then under Wine, in a fresh prefix that is thrown away afterwards:
# install, start, upgrade to a newer build, refused downgrade and uninstall
# (tests/windows/installer-check.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)

missing=()
for tool in x86_64-w64-mingw32-g++-posix wixl msiinfo osslsigncode openssl wine wineserver \
  winepath xvfb-run xdotool strings; do
  command -v "$tool" > /dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "FAIL: missing tools: ${missing[*]} (ORVANE_WINDOWS=1 scripts/setup installs them)"
  exit 1
fi

version=$(sed -n 's/^project(orvane_panel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
IFS=. read -r major minor patch <<< "$version"
newer="$major.$minor.$((patch + 1))"
vendor=$(sed -n 's/^set(ORVANE_VENDOR "\(.*\)")/\1/p' CMakeLists.txt)
build="$root/build/mingw-release"
exe="$build/app/windows/orvane-panel.exe"
msi="$build/orvane-panel-$version-x64.msi"
zip="$build/orvane-panel-$version-x64.zip"

cmake --preset mingw-release > /dev/null
cmake --build --preset mingw-release -j "${ORVANE_JOBS:-2}" --target msi > /dev/null
rm -f "$zip"
cpack --preset zip > /dev/null

source scripts/test.d/checks.bash
work=$(mktemp -d /tmp/orvane-msi.XXXXXX)
useWinePrefix "$work" "winemenubuilder.exe=d"  # no menu entries on this machine's desktop
cleanup() {
  stopWine
  rm -rf "$work"
}
trap cleanup EXIT


echo "--- the ZIP, the version information, the MSI"
listing=$(cmake -E tar tf "$zip")
[ "$listing" = "orvane-panel-$version-x64/orvane-panel.exe" ] && pass "ZIP: $listing" ||
  fail "ZIP holds: $listing"
# VERSIONINFO strings are UTF-16: each name is followed by its value.
info=$(strings -el "$exe" | tr '\n' '|')
for pair in "FileVersion|$version" "ProductVersion|$version" \
  "ProductName|Orvane I/O Switcher panel" "FileDescription|Orvane I/O Switcher panel" \
  "OriginalFilename|orvane-panel.exe"; do
  grep -qF "|$pair|" <<< "|$info" || fail "version information lacks $pair"
done
property() {
  msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' -v p="$1" '$1 == p { print $2 }'
}
[ "$(property ProductVersion)" = "$version" ] || fail "MSI version $(property ProductVersion)"
[ "$(property UpgradeCode)" = "{B7A9D66C-E8A9-468C-A98F-58BFE4BB5B47}" ] ||
  fail "MSI UpgradeCode changed: $(property UpgradeCode)"

echo "--- a newer build ($newer) of the same program"
cmake -D "EXE=$exe" -D "ICON=$root/panel/qt/icons/orvane.ico" -D "VERSION=$newer" \
  -D "VENDOR=$vendor" -D "OUTPUT=$work/orvane-panel-$newer-x64.msi" \
  -D "WORK=$work/msi-newer" -P packaging/windows/BuildMsi.cmake > /dev/null

echo "--- signing with a throwaway certificate"
(
  cd "$work"
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Orvane test signer" \
    -keyout key.pem -out cert.pem 2> /dev/null
  echo secret > password
  openssl pkcs12 -export -inkey key.pem -in cert.pem -passout file:password -out signer.p12
  cp "$exe" signed.exe
  cp "$msi" signed.msi
  ORVANE_SIGN_PKCS12=signer.p12 ORVANE_SIGN_PASSWORD_FILE=password \
    bash "$root/scripts/sign-windows" signed.exe signed.msi > /dev/null
  for file in signed.exe signed.msi; do
    osslsigncode verify -CAfile cert.pem -in "$file" > "$file.log" 2>&1 ||
      { cat "$file.log"; exit 1; }
  done
  # Without a certificate nothing changes.
  cp "$exe" unsigned.exe
  env -u ORVANE_SIGN_PKCS12 bash "$root/scripts/sign-windows" unsigned.exe > /dev/null
  cmp -s "$exe" unsigned.exe
) && pass "signed .exe and .msi verify; without a certificate nothing is signed" ||
  fail "signing"

echo "--- fresh Wine prefix in $WINEPREFIX"
start=$SECONDS
# Everything under one X server: a wineserver started without a display keeps a desktop that
# cannot show windows.
if timeout --kill-after=10 170 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    timeout 120 wineboot > /dev/null 2>&1 || exit 3
    timeout 60 wineserver -w
    timeout 60 wine reg add "HKCU\Software\Wine\X11 Driver" /v Managed /d N /f > /dev/null 2>&1
    echo "prefix ready in $((SECONDS)) s"
    root=$1
    shift
    bash "$root/tests/windows/installer-check.sh" "$@"' \
  bash "$root" "$msi" "$work/orvane-panel-$newer-x64.msi" "$version" "$newer" "$exe"; then
  pass "install, start, upgrade and uninstall under Wine ($((SECONDS - start)) s)"
else
  fail "install, start, upgrade and uninstall under Wine"
fi

endChecks "Windows installer tests"
