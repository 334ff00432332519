#!/usr/bin/env bash
# A signed installer stays an installer: zvpack builds one with the publisher's icon and version
# strings (Debian's icoutils extracts the icon group from it: the .ico's images, byte for byte),
# osslsigncode signs it with a throw-away self-signed certificate (the signature goes after the
# package), osslsigncode verifies the signature, zvpack verify accepts the package, and the
# signed installer installs the tree under Wine through its wizard.
#   signing.sh <source root> <win32 bin> <native zvpack> <report.xml>
set -uo pipefail
root=$1 bin=$2 zvpack=$3 report=$4
source "$root/scripts/wine-env"
zv_prepare_prefix
work=$(mktemp -d)
target_dir=$WINEPREFIX/drive_c/zv-signed
trap 'rm -rf "$work" "$target_dir"' EXIT
failure=
step() {  # step DESCRIPTION COMMAND...: runs it, keeps the first failure with its output
  [ -n "$failure" ] && return
  if ! out=$("${@:2}" 2>&1); then failure="$1: $(tail -n 5 <<<"$out")"; fi
}
mkdir -p "$work/app"
cp "$bin/hello.exe" "$work/app/" && cp -r "$root/examples/hello/files/." "$work/app/"
icon=$root/examples/hello/hello.ico
step "build" "$zvpack" build "$work/app" -o "$work/setup.exe" --stub "$bin/zvsetup.exe" \
  --name "签名测试" --program hello.exe --version 1.0.0 --icon "$icon" --product-name "签名测试" \
  --company "签名测试公司" --copyright "© 2024 签名测试公司" --file-description "签名测试 安装程序" --quiet
# wrestool writes the group out as an .ico (with a few bytes of its own after it): its directory
# and images are the publisher's .ico byte for byte, and icotool lists and extracts the same
# images from both.
icon_group_is_the_icon() {
  local tool
  for tool in wrestool icotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (Debian's icoutils): run scripts/bootstrap"; return 1; }
  done
  mkdir -p "$work/group" "$work/ico" "$work/group-images" "$work/ico-images" &&
    wrestool -x --type=group_icon --name=AAAAA_APPICON -o "$work/group/icon.ico" "$work/setup.exe" &&
    cp "$icon" "$work/ico/icon.ico" &&
    cmp -n "$(stat -c %s "$icon")" "$work/group/icon.ico" "$icon" &&
    diff <(icotool -l "$work/group/icon.ico") <(icotool -l "$work/ico/icon.ico") &&
    icotool -x -o "$work/group-images" "$work/group/icon.ico" &&
    icotool -x -o "$work/ico-images" "$work/ico/icon.ico" &&
    diff -r "$work/group-images" "$work/ico-images"
}
step "icon group (wrestool)" icon_group_is_the_icon
step "certificate" openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=zvsetup test signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem"
step "sign" osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "签名测试" \
  -in "$work/setup.exe" -out "$work/signed.exe"
step "signature" osslsigncode verify -in "$work/signed.exe" -CAfile "$work/cert.pem"
step "zvpack verify" "$zvpack" verify "$work/signed.exe" --quiet
rm -rf "$target_dir"
step "install" wine "$bin/wizard-driver.exe" --time "Z:$work/signed.exe" 'C:\zv-signed'
step "installed tree" diff -r "$work/app" "$target_dir"

source "$root/tests/junit.sh"
junit_report "$report" Signing SignedInstallerVerifiesAndInstalls "$failure"
if [ -n "$failure" ]; then echo "signing: $failure" >&2; exit 1; fi
echo "signing: signed, verified and installed"
