#!/usr/bin/env bash
# make release end to end: a copy of the source tree whose version is raised in its one place
# (the project version in CMakeLists.txt) is released, and every file of its dist/ must carry the
# new version and agree with SHA256SUMS and the winget manifests.
#   release_test.sh SOURCE_DIR WORK_DIR path/to/scripts/wine-run file_version.exe VERSION
# WORK_DIR keeps the copy and its build folders between runs (the main build is not touched).
set -u
source_dir=$1
work=$2
wine_run=$3
file_version=$4
current=$5
export WINEPREFIX=$work/wineprefix
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
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
tar -C "$source_dir" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$tree" -xf -
[ -e "$tree/build/deps" ] || ln -s "$source_dir/build/deps" "$tree/build/deps"
sed -i "s/^project(Hivora VERSION [0-9.]* /project(Hivora VERSION $version /" "$tree/CMakeLists.txt"
grep -q "^project(Hivora VERSION $version " "$tree/CMakeLists.txt" || { echo "no project version in CMakeLists.txt"; exit 1; }

echo "releasing $version in $tree"
started=$(date +%s)
make -C "$tree" release >"$work/release.log" 2>&1 || { tail -40 "$work/release.log"; echo "make release failed"; exit 1; }
echo "make release took $(($(date +%s) - started)) s"
dist=$tree/dist

# Every file is named and listed, and the sums hold.
for name in "HivoraSetup-$version-x64.exe" "HivoraSetup-$version-x86.exe" "Hivora-$version-x64-portable.zip" \
  SHA256SUMS winget/Hivora.Hivora.yaml winget/Hivora.Hivora.installer.yaml winget/Hivora.Hivora.locale.en-US.yaml \
  "update-server/files/HivoraSetup-$version.exe"; do
  [ -s "$dist/$name" ] || fail "dist has no $name"
done
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
listed=$(cut -d' ' -f3- "$dist/SHA256SUMS" | sort)
present=$(cd "$dist" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort)
[ "$listed" = "$present" ] || fail "SHA256SUMS does not list every file: $listed"

# winget: the version in all three files, both setups with their hashes, silent switches.
for file in "$dist"/winget/*.yaml; do
  grep -qx "PackageVersion: $version" "$file" || fail "$(basename "$file") names another version"
  grep -qx "ManifestVersion: 1.6.0" "$file" || fail "$(basename "$file") is not schema 1.6"
done
installer=$dist/winget/Hivora.Hivora.installer.yaml
for arch in x64 x86; do
  setup="HivoraSetup-$version-$arch.exe"
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
(cd "$unpacked" && unzip -q "$dist/Hivora-$version-x64-portable.zip") || fail "the zip does not unpack"
contents=$(cd "$unpacked" && find . -type f | sed 's|^\./||' | sort | tr '\n' '|')
[ "$contents" = "Hivora/Hivora.exe|Hivora/Patchwell.dll|Hivora/hivora-cli.exe|Hivora/progress-General.gif|Hivora/progress-bar.gif|Hivora/update animation.gif|" ] ||
  fail "the zip holds $contents"
quad=$version
while [ "$(tr -cd . <<<"$quad" | wc -c)" -lt 3 ]; do quad="$quad.0"; done
for file in "$dist/HivoraSetup-$version-x64.exe" "$dist/HivoraSetup-$version-x86.exe" \
  "$dist/update-server/files/HivoraSetup-$version.exe" \
  "$unpacked/Hivora/Hivora.exe" "$unpacked/Hivora/hivora-cli.exe" "$unpacked/Hivora/Patchwell.dll"; do
  line=$("$wine_run" "$file_version" "$file" 2>/dev/null | tr -d '\r')
  [ "$line" = "$version	$version	$quad	$quad" ] || fail "$(basename "$file") carries '$line', not $version"
done

# The update list names the new version and the setup for every Windows, with its hash.
list=$(cat "$dist/update-server/updates/updates.asp")
combined=$dist/update-server/files/HivoraSetup-$version.exe
expected="1
software	$version	1	1
HivoraSetup.exe	sha256:$(sha256sum "$combined" | cut -d' ' -f1)	$(stat -c %s "$combined")	http://127.0.0.1/files/HivoraSetup-$version.exe	0	1"
[ "$list" = "$expected" ] || fail "the update list is: $list"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s); the release is kept in $dist"
  exit 1
fi
# For the update test, which serves this release.
echo "$version" >"$work/version"
echo "all passed"
