#!/usr/bin/env bash
# make release end to end: a copy of the source tree whose version is raised in its one place
# (the project version in CMakeLists.txt) is released, and every file of its dist/ must carry the
# new version and agree with SHA256SUMS and the winget manifests; the update list must be signed
# with RELEASE_KEY (a test key here) and the programs built to trust it, and the programs, the
# uninstaller and every setup signed (Authenticode) with RELEASE_CERT (a test certificate here).
# Without RELEASE_KEY or RELEASE_CERT and RELEASE_CERT_KEY (or with the development key or
# certificate) make release fails and writes nothing; RELEASE_DEV=1 makes a development release into
# dist-dev/ with "-devkey" in every name, checked whole, its every signature verified against the
# development certificate, the setup for 64-bit Windows installed to verify what it installs.
#   release_test.sh SOURCE_DIR WORK_DIR path/to/scripts/wine-run file_version.exe VERSION
# WORK_DIR keeps the copy and its build folders between runs (the main build is not touched).
set -u
source_dir=$1
work=$2
wine_run=$3
file_version=$4
current=$5
export WINEPREFIX=$work/wineprefix
source "$(dirname "$0")/prefix.sh"
finish() {
  "$wineserver" -k >/dev/null 2>&1
  "$wineserver" -w >/dev/null 2>&1
}
trap finish EXIT

# A version above the current one both as numbers and as text (installed copies compare versions
# as text): the last part raised by one while that keeps the order, else a part added.
next_version() {
  local base=$1 last=${1##*.} raised
  raised="${base%.*}.$((last + 1))"
  if [[ "$raised" > "$base" ]]; then echo "$raised"; else echo "$base.1"; fi
}
version=$(next_version "$current")
[[ "$version" > "$current" ]] || { echo "no version above $current"; exit 1; }

# The copy: the sources as they are now, with the build folders of the last run kept (so that a
# run builds what changed) and the bootstrap's dependency sources shared with the main tree.
tree=$work/tree
rm -f "$work/version"
mkdir -p "$tree/build"
find "$tree" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
# The copy's files take the time of copying: a file older than the last run's objects (a branch
# merged since) must still rebuild them; ccache keeps that cheap.
tar -C "$source_dir" --exclude=./build --exclude=./dist --exclude=./dist-dev --exclude=./.git -cf - . | tar -C "$tree" -xmf -
[ -e "$tree/build/deps" ] || ln -s "$source_dir/build/deps" "$tree/build/deps"
sed -i "s/^project(Hivora VERSION [0-9.]* /project(Hivora VERSION $version /" "$tree/CMakeLists.txt"
grep -q "^project(Hivora VERSION $version " "$tree/CMakeLists.txt" || { echo "no project version in CMakeLists.txt"; exit 1; }

dist=$tree/dist
keys=$source_dir/tests/keys
# The development release signs with the copy's own development certificate.
for name in codesign-dev.pem codesign-dev.cert.pem update-dev.pem update-dev.pub.pem; do
  [ -s "$tree/tests/keys/$name" ] || { echo "the copy has no tests/keys/$name"; exit 1; }
done
other_cert=(RELEASE_CERT="$keys/codesign-other.cert.pem" RELEASE_CERT_KEY="$keys/codesign-other.pem")
# The names of the development release, checked whole below.
tag=-devkey
# release [VARIABLE=VALUE...]: make release in the copy, its output in $work/release.log
release() {
  local started
  started=$(date +%s)
  env "$@" make -C "$tree" release >"$work/release.log" 2>&1 || { tail -40 "$work/release.log"; echo "make release failed"; exit 1; }
  echo "make release $* took $(($(date +%s) - started)) s"
}
# carries FILE KEY.pem: whether FILE holds the public point of the key (X and Y, as built in)
carries() {
  python3 -c 'import sys; sys.exit(0 if bytes.fromhex(sys.argv[2]) in open(sys.argv[1], "rb").read() else 1)' "$1" \
    "$(openssl pkey -in "$2" -pubout -outform DER 2>/dev/null | tail -c 64 | od -An -tx1 | tr -d ' \n')"
}
# check_key PRIVATE.pem OTHER.pem [TAG]: the list is signed with PRIVATE, and Patchwell.dll of the
# zip carries its public half and not OTHER's (in dist/, or in dist-dev/ with TAG -devkey)
check_key() {
  local tag=${3:-} dist=$dist${3:+-dev}
  local reply=$dist/update-server$tag/updates/updates.asp signature line0 dll=$work/key-check/Hivora/Patchwell.dll
  line0=$(head -n 1 "$reply")
  signature=${line0#*$'\t'}
  [[ "$line0" =~ ^1\ serial=[0-9]+\ expires=[0-9]{4}-[0-9]{2}-[0-9]{2}$'\t'[0-9a-f]{128}$ ]] ||
    { fail "line 0 of the list is '$line0'"; return; }
  sed '1s/\t.*//' "$reply" >"$work/list"
  python3 - "$signature" "$work/signature.der" <<'PY'
import sys
def integer(hexdigits):
    value = bytes.fromhex(hexdigits).lstrip(b"\0") or b"\0"
    if value[0] & 0x80:
        value = b"\0" + value
    return b"\x02" + bytes([len(value)]) + value
body = integer(sys.argv[1][:64]) + integer(sys.argv[1][64:])
open(sys.argv[2], "wb").write(b"\x30" + bytes([len(body)]) + body)
PY
  openssl pkey -in "$1" -pubout -out "$work/public.pem" 2>/dev/null
  openssl dgst -sha256 -verify "$work/public.pem" -signature "$work/signature.der" "$work/list" >/dev/null ||
    fail "the list is not signed with $(basename "$1")"
  rm -rf "$work/key-check" && mkdir -p "$work/key-check"
  (cd "$work/key-check" && unzip -q "$dist/Hivora-$version-x64-portable$tag.zip")
  carries "$dll" "$1" || fail "Patchwell.dll does not trust $(basename "$1")"
  ! carries "$dll" "$2" || fail "Patchwell.dll trusts $(basename "$2")"
}

# signed_with CERT.pem FILE...: each file's Authenticode signature verifies against the certificate
signed_with() {
  local cert=$1 file
  shift
  for file in "$@"; do
    if [ ! -s "$file" ]; then
      fail "no $file to verify"
    elif ! osslsigncode verify -CAfile "$cert" -in "$file" >"$work/verify.log" 2>&1; then
      fail "$(basename "$file") does not verify against $(basename "$cert"): $(grep -i -m3 'fail\|error' "$work/verify.log" | tr '\n' ' ')"
    fi
  done
}

echo "releasing $version in $tree"
# With a key and a certificate of its own: no warning, the list signed with the key, the programs
# trusting it alone, every binary signed with the certificate and not the development one.
release RELEASE_KEY="$keys/update-other.pem" "${other_cert[@]}"
! grep -q WARNING "$work/release.log" || fail "a release with RELEASE_KEY warns: $(grep WARNING "$work/release.log")"
check_key "$keys/update-other.pem" "$keys/update-dev.pem"
signed_with "$keys/codesign-other.cert.pem" "$dist/HivoraSetup-$version-x64.exe" "$dist/HivoraSetup-$version-x86.exe" \
  "$dist/update-server/files/HivoraSetup-$version.exe" "$work/key-check/Hivora/Patchwell.dll"
! osslsigncode verify -CAfile "$keys/codesign-dev.cert.pem" -in "$dist/HivoraSetup-$version-x64.exe" >/dev/null 2>&1 ||
  fail "the release's setup verifies against the development certificate"

# Without one, or with the development key: one line says why, and nothing is written (not even
# the release's build folders).
refused() {
  local marker=$work/marker written
  touch "$marker"
  sleep 1
  if env "$@" make -C "$tree" release >"$work/release.log" 2>&1; then
    fail "make release $* succeeded"
    return
  fi
  [ "$(grep -c '^release: ' "$work/release.log")" = 1 ] || fail "make release $* said: $(cat "$work/release.log")"
  written=$(find "$tree" -newer "$marker" ! -path "$tree/build/deps*" | head -5)
  [ -z "$written" ] || fail "the refused make release $* wrote $written"
}
refused RELEASE_KEY=
grep -q "^release: no RELEASE_KEY" "$work/release.log" || fail "no RELEASE_KEY: $(cat "$work/release.log")"
refused RELEASE_KEY="$keys/update-dev.pem" "${other_cert[@]}"
grep -q "^release: RELEASE_KEY is the development key" "$work/release.log" || fail "the development key: $(cat "$work/release.log")"
# Without a code-signing certificate and its key, with the development certificate, with a key that
# is not the certificate's, or with a certificate besides RELEASE_DEV=1.
refused RELEASE_KEY="$keys/update-other.pem"
grep -q "^release: no RELEASE_CERT and RELEASE_CERT_KEY" "$work/release.log" || fail "no RELEASE_CERT: $(cat "$work/release.log")"
refused RELEASE_KEY="$keys/update-other.pem" RELEASE_CERT="$keys/codesign-other.cert.pem"
grep -q "^release: no RELEASE_CERT and RELEASE_CERT_KEY" "$work/release.log" || fail "no RELEASE_CERT_KEY: $(cat "$work/release.log")"
refused RELEASE_KEY="$keys/update-other.pem" RELEASE_CERT="$keys/codesign-dev.cert.pem" RELEASE_CERT_KEY="$keys/codesign-dev.pem"
grep -q "^release: RELEASE_CERT is the development certificate" "$work/release.log" ||
  fail "the development certificate: $(cat "$work/release.log")"
refused RELEASE_KEY="$keys/update-other.pem" RELEASE_CERT="$keys/codesign-other.cert.pem" RELEASE_CERT_KEY="$keys/codesign-dev.pem"
grep -q "^release: RELEASE_CERT_KEY: .* is not the private key of" "$work/release.log" ||
  fail "a key that is not the certificate's: $(cat "$work/release.log")"
refused RELEASE_KEY="$keys/update-other.pem" RELEASE_CERT="$keys/update-other.pem" RELEASE_CERT_KEY="$keys/update-other.pem"
grep -q "^release: RELEASE_CERT: .* is not a certificate" "$work/release.log" || fail "a key as the certificate: $(cat "$work/release.log")"
refused RELEASE_DEV=1 "${other_cert[@]}"
grep -q "^release: RELEASE_DEV=1 signs with the development certificate" "$work/release.log" ||
  fail "RELEASE_DEV=1 with a certificate: $(cat "$work/release.log")"

# A development release: dist-dev/ only, with a warning. It is checked whole, and served by the
# update test.
touch "$work/marker"
release RELEASE_DEV=1
grep -q "WARNING: RELEASE_DEV=1" "$work/release.log" || fail "a development release does not warn"
[ -z "$(find "$dist" -newer "$work/marker" | head -1)" ] || fail "a development release wrote into dist/"
check_key "$keys/update-dev.pem" "$keys/update-other.pem" "$tag"
untagged=$(cd "$dist-dev" && find . -type f | grep -v -- "$tag" || true)
[ -z "$untagged" ] || fail "files of the development release without $tag: $untagged"
dist=$dist-dev

# Every file is named and listed, and the sums hold.
for name in "HivoraSetup-$version-x64$tag.exe" "HivoraSetup-$version-x86$tag.exe" "Hivora-$version-x64-portable$tag.zip" \
  "SHA256SUMS$tag" "winget$tag/Hivora.Hivora.yaml" "winget$tag/Hivora.Hivora.installer.yaml" \
  "winget$tag/Hivora.Hivora.locale.en-US.yaml" "update-server$tag/files/HivoraSetup-$version$tag.exe"; do
  [ -s "$dist/$name" ] || fail "dist has no $name"
done
(cd "$dist" && sha256sum --quiet -c "SHA256SUMS$tag") || fail "sha256sum -c SHA256SUMS$tag"
listed=$(cut -d' ' -f3- "$dist/SHA256SUMS$tag" | sort)
present=$(cd "$dist" && find . -type f ! -name "SHA256SUMS$tag" | sed 's|^\./||' | sort)
[ "$listed" = "$present" ] || fail "SHA256SUMS$tag does not list every file: $listed"

# winget: the version in all three files, both setups with their hashes, silent switches.
for file in "$dist/winget$tag"/*.yaml; do
  grep -qx "PackageVersion: $version" "$file" || fail "$(basename "$file") names another version"
  grep -qx "ManifestVersion: 1.6.0" "$file" || fail "$(basename "$file") is not schema 1.6"
done
installer=$dist/winget$tag/Hivora.Hivora.installer.yaml
for arch in x64 x86; do
  setup="HivoraSetup-$version-$arch$tag.exe"
  hash=$(sha256sum "$dist/$setup" | cut -d' ' -f1 | tr 'a-f' 'A-F')
  entry=$(grep -A2 -x "  - Architecture: $arch" "$installer")
  grep -q "InstallerUrl: .*/$setup\$" <<<"$entry" || fail "winget: no URL of $setup"
  grep -qx "    InstallerSha256: $hash" <<<"$entry" || fail "winget: the hash of $setup is not $hash"
done
grep -qx "  Silent: /S" "$installer" || fail "winget: no silent switch"
grep -qx "  SilentWithProgress: /S" "$installer" || fail "winget: no silent switch with progress"

# The version resources: every setup, and the programs in the zip.
unpacked=$work/portable
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && unzip -q "$dist/Hivora-$version-x64-portable$tag.zip") || fail "the zip does not unpack"
contents=$(cd "$unpacked" && find . -type f | sed 's|^\./||' | sort | tr '\n' '|')
[ "$contents" = "Hivora/Hivora.exe|Hivora/Patchwell.dll|Hivora/hivora-cli.exe|Hivora/progress-General.gif|Hivora/progress-bar.gif|Hivora/update animation.gif|" ] ||
  fail "the zip holds $contents"
quad=$version
while [ "$(tr -cd . <<<"$quad" | wc -c)" -lt 3 ]; do quad="$quad.0"; done
for file in "$dist/HivoraSetup-$version-x64$tag.exe" "$dist/HivoraSetup-$version-x86$tag.exe" \
  "$dist/update-server$tag/files/HivoraSetup-$version$tag.exe" \
  "$unpacked/Hivora/Hivora.exe" "$unpacked/Hivora/hivora-cli.exe" "$unpacked/Hivora/Patchwell.dll"; do
  line=$("$wine_run" "$file_version" "$file" 2>/dev/null | tr -d '\r')
  [ "$line" = "$version	$version	$quad	$quad" ] || fail "$(basename "$file") carries '$line', not $version"
done

# The update list names the new version and the setup for every Windows, with its hash; it was
# signed just now and is good for 90 days.
stamp=$(head -n 1 "$work/list")
serial=${stamp#1 serial=}
serial=${serial%% *}
[ $(($(date -u +%s) - serial)) -lt 3600 ] || fail "the list's serial $serial is not the time of signing"
[ "${stamp##* expires=}" = "$(date -u -d '+90 days' +%F)" ] || fail "the list expires on ${stamp##* expires=}"
list=$(sed '1s/ .*//' "$work/list")
combined=$dist/update-server$tag/files/HivoraSetup-$version$tag.exe
expected="1
software	$version	1	1
HivoraSetup.exe	sha256:$(sha256sum "$combined" | cut -d' ' -f1)	$(stat -c %s "$combined")	http://127.0.0.1/files/HivoraSetup-$version$tag.exe	0	1"
[ "$list" = "$expected" ] || fail "the update list is: $list"

# Every signature of the development release verifies against the development certificate: the
# setups; the setups the setup for every Windows carries (stored as they are: their bytes are in
# it); the programs of the zip, and those the x86 setup packed with its uninstaller (which the build
# keeps beside it); and what the setup for 64-bit Windows installs, uninstaller included.
dev_cert=$keys/codesign-dev.cert.pem
signed_with "$dev_cert" "$dist/HivoraSetup-$version-x64$tag.exe" "$dist/HivoraSetup-$version-x86$tag.exe" "$combined" \
  "$unpacked/Hivora/Hivora.exe" "$unpacked/Hivora/hivora-cli.exe" "$unpacked/Hivora/Patchwell.dll" \
  "$tree/build/release-win32/bin/Hivora.exe" "$tree/build/release-win32/bin/hivora-cli.exe" \
  "$tree/build/release-win32/bin/Patchwell.dll" "$tree/build/release-win32/Uninstall.exe" \
  "$tree/build/release-win64/Uninstall.exe"
for arch in x64 x86; do
  python3 -c 'import sys; sys.exit(0 if open(sys.argv[1], "rb").read() in open(sys.argv[2], "rb").read() else 1)' \
    "$dist/HivoraSetup-$version-$arch$tag.exe" "$combined" ||
    fail "the setup for every Windows does not carry the signed $arch setup"
done
installed="$WINEPREFIX/drive_c/SignatureCheck"
rm -rf "$installed"
"$wine_run" "$dist/HivoraSetup-$version-x64$tag.exe" /S '/D=C:\SignatureCheck' >/dev/null 2>&1 ||
  fail "the x64 setup did not install into C:\SignatureCheck"
signed_with "$dev_cert" "$installed/Hivora.exe" "$installed/hivora-cli.exe" "$installed/Patchwell.dll" "$installed/Uninstall.exe"
cmp -s "$installed/Uninstall.exe" "$tree/build/release-win64/Uninstall.exe" ||
  fail "the installed uninstaller is not the one the build signed"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s); the release is kept in $dist"
  exit 1
fi
# For the update test, which serves this release.
echo "$version" >"$work/version"
echo "all passed"
