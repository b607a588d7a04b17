#!/usr/bin/env bash
# HivoraSetup.exe end to end in a fresh Wine prefix: a silent install, a scan by the installed
# hivora-cli, a repair and an ignore entry, an install over it, the scheduled task, a silent
# uninstall, a folder holding other files refused, an install into a folder given with /D=
# followed by one over it, and an uninstall through its windows that removes everything.
#   setup_test.sh HivoraSetup.exe scan_task.exe guidriver.exe path/to/scripts/wine-run PREFIX BIN_DIR VERSION
set -u
setup_exe=$1
task_exe=$2
guidriver=$3
wine_run=$4
export WINEPREFIX=$5
bin=$6
version=$7
drive_c="$WINEPREFIX/drive_c"
folder="$drive_c/Program Files/Hivora"
win_folder='C:\Program Files\Hivora'
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Hivora.lnk"
desktop_copy="$drive_c/users/$(id -un)/Desktop/Hivora.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Hivora'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
programs=(Hivora.exe hivora-cli.exe Patchwell.dll progress-General.gif progress-bar.gif "update animation.gif")
saved=$(mktemp -d /tmp/hivora-setup-test.XXXXXX)
source "$(dirname "$0")/prefix.sh"

rm -rf "$WINEPREFIX"
finish() {
  "$wineserver" -k >/dev/null 2>&1
  "$wineserver" -w >/dev/null 2>&1
  rm -rf "$saved"
  # A failed run leaves its prefix for a look inside.
  [ "$failures" -ne 0 ] || rm -rf "$WINEPREFIX"
}
trap finish EXIT

expect_rc() { [ "$rc" = "$1" ] || fail "$2: exit $rc, expected $1: $(cat "$saved/err")"; }
# The uninstaller finishes in a copy of itself that outlives the program started: wait until
# every program of the prefix has ended.
wait_for_prefix() { "$wineserver" -w; }

expect_programs() {
  local name
  for name in "${programs[@]}"; do
    cmp -s "$bin/$name" "$1/$name" || fail "$2: $name is not the built one"
  done
  [ -f "$1/Uninstall.exe" ] || fail "$2: no Uninstall.exe"
}

expect_entry() {
  local key_folder=$1 when=$2 name expected actual
  while IFS='|' read -r name expected; do
    actual=$(reg_value "$uninstall_key" "$name" /reg:64)
    [ "$actual" = "$expected" ] || fail "$when: $name is '$actual', expected '$expected'"
  done <<LIST
DisplayName|Hivora
DisplayVersion|$version
Publisher|Hivora
DisplayIcon|$key_folder\\Hivora.exe
InstallLocation|$key_folder
UninstallString|"$key_folder\\Uninstall.exe"
QuietUninstallString|"$key_folder\\Uninstall.exe" /S
LIST
  [ $((16#$(reg_value "$uninstall_key" EstimatedSize /reg:64 | sed 's/^0x//'))) -gt 1000 ] ||
    fail "$when: EstimatedSize $(reg_value "$uninstall_key" EstimatedSize)"
  [ -z "$(reg_value "$uninstall_key" DisplayName /reg:32)" ] || fail "$when: entry in the 32-bit registry"
}

# A silent install into a fresh prefix
run "$setup_exe" /S
expect_rc 0 "silent install"
expect_programs "$folder" "install"
[ -f "$shortcut" ] || fail "no Start menu shortcut"
grep -qaF "$win_folder\\Hivora.exe" "$shortcut" || fail "the shortcut does not start Hivora.exe"
expect_entry "$win_folder" "install"

# The installed cleaner runs from its folder and finds nothing of its own installation
cli scan --categories=all --format=tsv
expect_rc 0 "scan"
[ -n "$out" ] || fail "the scan found nothing at all: $(cat "$saved/err")"
! grep -i hivora <<<"$out" || fail "the scan reports Hivora's own entries"
ls "$folder"/Logs/HV_*.log >/dev/null 2>&1 || fail "no log in the program folder"

# make_user_data: a backup set of a real repair ($set_name), an ignore entry and settings
make_user_data() {
  "$wine_run" reg add "$run_key" /v SetupTestGone /t REG_SZ /d 'C:\nowhere\gone.exe' /f >/dev/null 2>&1
  cli repair --categories=winstrt,shrtcut --format=tsv
  expect_rc 0 "repair in $win_folder"
  set_name=$(awk -F'\t' '$1 == "set" { print $2 }' <<<"$out")
  [ -n "$set_name" ] && [ -s "$folder/Backup/$set_name.reg" ] || fail "repair left no backup set: $out"
  cli ignore add fonts 'HKEY_LOCAL_MACHINE\Software\Fonts' Example example.ttf
  expect_rc 0 "ignore add in $win_folder"
}
make_user_data
# a copy of the shortcut on the desktop, which the uninstall leaves behind broken
cp "$shortcut" "$desktop_copy"
cp "$folder/ignorelist.dat" "$saved/ignorelist.dat" 2>/dev/null || fail "no ignorelist.dat"
[ -n "$(reg_value 'HKLM\SOFTWARE\Hivora' lastScan)" ] || fail "the scan stored no settings"

# An install over it (as an update does) replaces the programs and keeps the user's data
printf 'old' >"$folder/Patchwell.dll"
run "$setup_exe" /S
expect_rc 0 "install over"
expect_programs "$folder" "install over"
expect_entry "$win_folder" "install over"
cmp -s "$saved/ignorelist.dat" "$folder/ignorelist.dat" || fail "install over changed ignorelist.dat"
cli backups
expect_rc 0 "backups after install over"
grep -qF "$set_name" <<<"$out" || fail "install over lost the backup set: $out"

# The scheduled scan as the main program registers it
run "$task_exe" create "$win_folder\\Hivora.exe"
expect_rc 0 "task create"
run "$task_exe" exists
expect_rc 0 "task exists"

# A silent uninstall through the entry's own command
quiet=$(reg_value "$uninstall_key" QuietUninstallString)
uninstaller=${quiet#\"}
uninstaller=${uninstaller%%\"*}
run "$uninstaller" ${quiet##*\" }
expect_rc 0 "silent uninstall"
wait_for_prefix
for name in "${programs[@]}" Uninstall.exe; do
  [ ! -e "$folder/$name" ] || fail "uninstall left $name"
done
[ ! -e "$shortcut" ] || fail "uninstall left the shortcut"
[ -z "$(reg_value "$uninstall_key" DisplayName)" ] || fail "uninstall left the uninstall entry"
run "$task_exe" exists
expect_rc 1 "task after uninstall"
[ -s "$folder/Backup/$set_name.reg" ] || fail "silent uninstall removed the backup set"
ls "$folder"/Logs/HV_*.log >/dev/null 2>&1 || fail "silent uninstall removed the logs"
cmp -s "$saved/ignorelist.dat" "$folder/ignorelist.dat" || fail "silent uninstall removed ignorelist.dat"
[ -n "$(reg_value 'HKLM\SOFTWARE\Hivora' lastScan)" ] || fail "silent uninstall removed the settings"

# Outside Program Files the setup gives the folder its permissions itself, so it takes only a
# folder of Hivora's own: one that holds other files is refused before anything is written (Wine
# keeps no owners, so the refusal of files of other owners is not seen here)
mkdir -p "$drive_c/Shared"
echo theirs >"$drive_c/Shared/theirs.txt"
run "$setup_exe" /S '/D=C:\Shared'
expect_rc 3 "install into a folder holding other files"
left=$(cd "$drive_c/Shared" && find . | sort | tr '\n' ' ')
[ "$left" = ". ./theirs.txt " ] || fail "the refused install left: $left"
[ -z "$(reg_value "$uninstall_key" DisplayName)" ] || fail "the refused install wrote the uninstall entry"

# /D= chooses the folder
run "$setup_exe" /S '/D=C:\Tools\Hivora'
expect_rc 0 "install with /D="
expect_programs "$drive_c/Tools/Hivora" "install with /D="
expect_entry 'C:\Tools\Hivora' "install with /D="
# and an update, which starts the setup program without arguments, goes there too
run "$setup_exe" /S
expect_rc 0 "install over /D="
[ ! -e "$folder/Hivora.exe" ] || fail "install over /D= went to the default folder"
expect_entry 'C:\Tools\Hivora' "install over /D="
# A DLL that Hivora.exe would load, put beside the programs: the folder is refused, left as it is
echo planted >"$drive_c/Tools/Hivora/version.dll"
run "$setup_exe" /S '/D=C:\Tools\Hivora'
expect_rc 3 "install into a folder holding a planted DLL"
[ "$(cat "$drive_c/Tools/Hivora/version.dll")" = planted ] || fail "the refused install changed the planted DLL"
rm "$drive_c/Tools/Hivora/version.dll"

# Uninstalling through the windows, answering that nothing is to be kept, from a folder shared
# with another program's logs and backups (MUI titles its pages with a blank after the caption;
# the question box has the caption alone)
folder="$drive_c/Tools/Hivora"
win_folder='C:\Tools\Hivora'
make_user_data
[ ! -e "$desktop_copy" ] && ls "$folder"/Backup/HVBak_*/Hivora.lnk >/dev/null 2>&1 ||
  fail "the repair did not move the broken shortcut into its backup set"
echo other >"$folder/Logs/other.log"
echo other >"$folder/Backup/other.txt"
"$wine_run" "$win_folder\\Uninstall.exe" &
retry 12 drive click "Hivora Uninstall " 1
expect_rc 0 "the Uninstall button"
retry 6 drive answer "Hivora Uninstall" 7
expect_rc 0 "the question about the backups"
grep -qF "backups" <<<"$out" || fail "the question does not name the backups: $out"
for _ in $(seq 300); do
  drive text "Hivora Uninstall " 1
  [ "$out" = "&Finish" ] && break
done
drive click "Hivora Uninstall " 1
expect_rc 0 "the Finish button"
wait
wait_for_prefix
left=$(cd "$folder" && find . | sort | tr '\n' ' ')
[ "$left" = ". ./Backup ./Backup/other.txt ./Logs ./Logs/other.log " ] || fail "removing everything left: $left"
[ -z "$(reg_value 'HKLM\SOFTWARE\Hivora' lastScan)" ] || fail "removing everything left the settings"
[ -z "$(reg_value "$uninstall_key" DisplayName)" ] || fail "the uninstall through the windows left the entry"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s); the prefix is kept in $WINEPREFIX"
  exit 1
fi
echo "all passed"
