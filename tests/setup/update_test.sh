#!/usr/bin/env bash
# The road of an update, end to end, in a fresh Wine prefix: the x64 setup of this tree installs
# Hivora, the user scans, repairs, ignores an entry and changes settings; then the update server
# serves the development release that release_test.sh made (a higher version), the updates page's check is
# pressed and the question answered: a setup changed on its way is refused; as released, it is
# downloaded, verified and started through rundll32 after Hivora has closed, its pages walked, and
# afterwards the installed programs carry the new version with the user's settings, ignore list
# and backups kept.
#   update_test.sh RELEASE_WORK_DIR HivoraSetup.exe guidriver.exe file_version.exe
#                  path/to/scripts/wine-run path/to/server-ctl.sh VERSION
set -u
work=$1
setup_exe=$2
guidriver=$3
file_version=$4
wine_run=$5
server_ctl=$6
current=$7
[ -s "$work/version" ] || { echo "no release to serve: release_tests did not pass"; exit 1; }
version=$(cat "$work/version")
tree=$work/tree
export WINEPREFIX=$work/update-prefix
drive_c="$WINEPREFIX/drive_c"
folder="$drive_c/Program Files/Hivora"
win_folder='C:\Program Files\Hivora'
settings_key='HKLM\SOFTWARE\Hivora'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Hivora'
state=$work/server
saved=$(mktemp -d /tmp/hivora-update-test.XXXXXX)
source "$(dirname "$0")/prefix.sh"

rm -rf "$WINEPREFIX"
finish() {
  sh "$server_ctl" stop "$state" >/dev/null 2>&1
  "$wineserver" -k >/dev/null 2>&1
  "$wineserver" -w >/dev/null 2>&1
  rm -rf "$saved"
  [ "$failures" -ne 0 ] || rm -rf "$WINEPREFIX"
}
trap finish EXIT
stop() {
  fail "$*"
  echo "$failures failure(s); the prefix is kept in $WINEPREFIX"
  exit 1
}

set_setting() { "$wine_run" reg add "$settings_key" /v "$1" /t REG_SZ /d "$2" /f /reg:64 >/dev/null 2>&1; }
# The versions the installed programs carry, one line each (file_version.exe's format).
installed_versions() {
  "$wine_run" "$file_version" "$win_folder\\Hivora.exe" "$win_folder\\hivora-cli.exe" \
    "$win_folder\\Patchwell.dll" 2>/dev/null | tr -d '\r' | cut -f1,2 | sort -u
}

# The update server, and the release addressed to it (its builds are left by release_tests: this
# only packs it again with the server's address).
sh "$server_ctl" start "$state" >/dev/null || stop "the update server did not start"
url="http://127.0.0.1:$(cat "$state/port")/"
RELEASE_DEV=1 RELEASE_URL=$url RELEASE_COMBINED_TARGET=amd64-unicode make -C "$tree" release >"$saved/release.log" 2>&1 ||
  stop "make release for $url: $(tail -20 "$saved/release.log")"
cp -r "$tree/dist-dev/update-server-devkey/." "$state/root/"

# Installed from this tree's setup, and used.
run "$setup_exe" /S
[ "$rc" = 0 ] || stop "silent install: exit $rc"
[ "$(installed_versions)" = "$current	$current" ] || stop "the installed programs carry $(installed_versions), not $current"
"$wine_run" reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v UpdateTestGone /t REG_SZ \
  /d 'C:\nowhere\gone.exe' /f >/dev/null 2>&1
cli repair --categories=winstrt --format=tsv
set_name=$(awk -F'\t' '$1 == "set" { print $2 }' <<<"$out")
[ -n "$set_name" ] && [ -s "$folder/Backup/$set_name.reg" ] || stop "the repair left no backup set: $out"
cli ignore add fonts 'HKEY_LOCAL_MACHINE\Software\Fonts' Example example.ttf
[ "$rc" = 0 ] || stop "ignore add: $(cat "$saved/err")"
cp "$folder/ignorelist.dat" "$saved/ignorelist.dat"
set_setting updatesrv "127.0.0.1:$(cat "$state/port")"
set_setting shrtcut 1
set_setting rstrpont 1
last_scan=$(reg_value "$settings_key" lastScan /reg:64)
[ -n "$last_scan" ] || stop "the scan stored no lastScan"

# ask_and_accept: presses the updates page's check (again, while the page has not taken the press:
# its button is disabled until the last check has ended) and answers the question with Yes.
ask_and_accept() {
  for _ in $(seq 6); do
    drive click Hivora 1175/1000
    drive answer Hivora 6
    [ "$rc" = 0 ] && break
  done
  [ "$rc" = 0 ] || stop "no question came"
  [ "$out" = "New software updates found.
Do you want to download and install?" ] || fail "the question was: $out"
}

# The check, from the updates page.
"$wine_run" "$win_folder\\Hivora.exe" >/dev/null 2>&1 &
app=$!
retry 6 drive wait Hivora
[ "$rc" = 0 ] || stop "Hivora.exe shows no window"
drive click Hivora 1004
retry 3 drive click Hivora 1660/1000
retry 3 drive text Hivora 1175/1000
[ "$rc" = 0 ] || stop "no check button on the updates page"

# First with one byte of the setup changed on its way: the download is refused (the log says
# why) and nothing is installed or started.
echo "flip 4096" >"$state/root/files/HivoraSetup-$version-devkey.exe.how"
ask_and_accept
for _ in $(seq 60); do
  grep -qs "refused: the download of HivoraSetup.exe" "$folder"/Logs/HV_*.log && break
  sleep 1
done
grep -qs "refused: the download of HivoraSetup.exe" "$folder"/Logs/HV_*.log || stop "a changed setup was not refused"
kill -0 "$app" 2>/dev/null || stop "Hivora.exe ended after a refused download"
[ ! -e "$folder/HivoraSetup.exe" ] || fail "a refused setup reached the program folder"
rm "$state/root/files/HivoraSetup-$version-devkey.exe.how"

# Then as released.
ask_and_accept
retry 12 drive answer Hivora 1
[ "$rc" = 0 ] || stop "no ready-to-install message: $(drive text Hivora 1175; echo "$out")"
grep -qF "ready to be installed" <<<"$out" || fail "the message was: $out"
# The restart path: Hivora ends, and Patchwell's installer goes on in rundll32.
for _ in $(seq 60); do
  kill -0 "$app" 2>/dev/null || break
  sleep 1
done
! kill -0 "$app" 2>/dev/null || stop "Hivora.exe did not end for the installation"
wait "$app"
app_rc=$?
[ "$app_rc" = 0 ] || fail "Hivora.exe ended with $app_rc"
requests=$(cat "$state/requests.log")
[ "$requests" = "/updates/updates.asp
/files/HivoraSetup-$version-devkey.exe
/updates/updates.asp
/files/HivoraSetup-$version-devkey.exe" ] || fail "the server was asked for: $requests"

# The setup's pages: Next, Install, Next, Finish (with "Run Hivora" ticked). Its first page is
# titled "Hivora Setup", the others "Hivora Setup " (MUI adds a blank).
page_button() {
  local title
  for title in "$setup_title" "Hivora Setup" "Hivora Setup "; do
    drive text "$title" 1
    [ "$rc" = 0 ] && setup_title=$title && return
  done
}
setup_title="Hivora Setup"
finished=0
shot=0
for _ in $(seq 40); do
  page_button
  [ "$rc" = 0 ] || continue
  [ "$shot" = 1 ] || { drive shot "$setup_title" update-setup-page; shot=1; }
  case "$out" in
  "&Finish")
    drive click "$setup_title" 1
    finished=1
    break
    ;;
  "&Next >" | "&Install") drive click "$setup_title" 1 ;;
  esac
  sleep 1
done
if [ "$finished" != 1 ]; then
  # A message box of the installer (an install list it could not read, a setup it could not start)
  drive answer Hivora 1
  echo "windows on the screen: $(xwininfo -root -tree 2>/dev/null | grep -o '"[^"]*"' | sort -u | tr '\n' ' ')"
  stop "the setup's pages did not reach Finish${out:+; the installer said: $out}"
fi

# The new Hivora, started by the setup's last page.
retry 6 drive wait Hivora
[ "$rc" = 0 ] || fail "the setup did not start Hivora.exe"
drive click Hivora 1004
retry 3 drive text Hivora 1660
[ "$out" = "Ver $version" ] || fail "the about page shows '$out' after the update"
drive shot Hivora update-about
drive close Hivora
# Nothing runs on: the second start of the setup (run flag, then Patchwell's own) ended at once.
timeout 120 "$wineserver" -w || fail "programs still run after the update: $(xwininfo -root -tree 2>/dev/null | grep -o '"Hivora[^"]*"' | sort -u | tr '\n' ' ')"

# The programs carry the new version; the user's settings, ignore list and backups are kept.
[ "$(installed_versions)" = "$version	$version" ] || fail "after the update the programs carry $(installed_versions)"
[ "$(reg_value "$uninstall_key" DisplayVersion /reg:64)" = "$version" ] || fail "Programs and Features shows $(reg_value "$uninstall_key" DisplayVersion /reg:64)"
cmp -s "$saved/ignorelist.dat" "$folder/ignorelist.dat" || fail "the update changed ignorelist.dat"
cli backups
grep -qF "$set_name" <<<"$out" || fail "the update lost the backup set: $out"
[ -s "$folder/Backup/$set_name.reg" ] || fail "the update lost $set_name.reg"
[ "$(reg_value "$settings_key" lastScan /reg:64)" = "$last_scan" ] || fail "the update changed lastScan"
[ "$(reg_value "$settings_key" updatesrv /reg:64)" = "127.0.0.1:$(cat "$state/port")" ] || fail "the update changed updatesrv"
[ "$(reg_value "$settings_key" shrtcut /reg:64)" = 1 ] && [ "$(reg_value "$settings_key" rstrpont /reg:64)" = 1 ] || fail "the update changed the settings"
ls "$folder"/Logs/HV_*.log >/dev/null 2>&1 || fail "the update removed the logs"

# An update of a 32-bit installation moves it over to the x64 build (the 32-bit Hivora refuses its
# work on 64-bit Windows): beside a 32-bit Hivora.exe outside the 32-bit Program Files, the setup
# for every Windows runs its x64 setup into that folder, whose programs it replaces.
mkdir -p "$drive_c/Hivora32"
cp "$tree/build/release-win32/bin/Hivora.exe" "$drive_c/Hivora32/"
cp "$tree/dist-dev/update-server-devkey/files/HivoraSetup-$version-devkey.exe" "$drive_c/Hivora32/HivoraSetup.exe"
run 'C:\Hivora32\HivoraSetup.exe' /S
[ "$(reg_value "$uninstall_key" InstallLocation /reg:64)" = 'C:\Hivora32' ] || fail "beside a 32-bit Hivora.exe the x64 setup did not install there"
cmp -s "$tree/build/release-win64/bin/Hivora.exe" "$drive_c/Hivora32/Hivora.exe" || fail "the 32-bit Hivora.exe was not replaced by the x64 one"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s); the prefix is kept in $WINEPREFIX"
  exit 1
fi
echo "all passed"
