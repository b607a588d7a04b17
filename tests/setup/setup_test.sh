#!/usr/bin/env bash
# HivoraSetup.exe end to end in a fresh Wine prefix: a silent install, a scan by the installed
# hivora-cli, a repair and an ignore entry, an install over it, the scheduled task, a silent
# uninstall, a folder holding other files refused, an install into a folder given with /D=
# followed by one over it, an uninstall through its windows that removes everything, the x86 setup
# refusing 64-bit Windows, and the setup for every Windows moving an x86 installation over to x64.
#   setup_test.sh HivoraSetup.exe scan_task.exe guidriver.exe path/to/scripts/wine-run PREFIX BIN_DIR VERSION
#                 X86_SETUP.exe COMBINED_SETUP.exe
set -u
setup_exe=$1
task_exe=$2
guidriver=$3
wine_run=$4
export WINEPREFIX=$5
bin=$6
version=$7
x86_setup=$8
combined_setup=$9
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
  local key_folder=$1 when=$2 name expected actual attempt
  while IFS='|' read -r name expected; do
    # A wrong value stays wrong; a read that Wine failed to start (seen once under load, one value
    # of a complete entry read as empty) is read again.
    for attempt in 1 2 3; do
      actual=$(reg_value "$uninstall_key" "$name" /reg:64 </dev/null)
      [ "$actual" != "$expected" ] || break
    done
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

# The scheduled scan as the main program registers it: through the Task Scheduler 2.0, and
# through the 1.0 interfaces where the program falls back to them (Wine keeps the two apart)
run "$task_exe" create2 "$win_folder\\Hivora.exe"
expect_rc 0 "task create2"
run "$task_exe" exists2
expect_rc 0 "task exists2"
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
run "$task_exe" exists2
expect_rc 1 "task of the Task Scheduler 2.0 after uninstall"
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

# The x86 setup refuses 64-bit Windows before it writes anything
x86_folder="$drive_c/Program Files (x86)/Hivora"
run "$x86_setup" /S
expect_rc 4 "the x86 setup on 64-bit Windows"
[ ! -e "$x86_folder" ] || fail "the refused x86 setup made its folder"
[ -z "$(reg_value "$uninstall_key" DisplayName /reg:32)" ] || fail "the refused x86 setup wrote its entry"

# An x86 installation, seeded by hand (this machine runs no 32-bit programs): its programs and the
# user's data in the 32-bit Program Files, its settings in the 32-bit registry, the x86 setup's
# entry. The setup for every Windows installs x64 and moves it over.
mkdir -p "$x86_folder/Logs" "$x86_folder/Backup/HVBak_01-02-2026_10-11-12"
for name in "${programs[@]}" Uninstall.exe; do
  echo x86 >"$x86_folder/$name"
done
printf 'log\r\n' >"$x86_folder/Logs/HV01-02-2026_10-11-12.log"
printf 'backup\r\n' >"$x86_folder/Backup/HVBak_01-02-2026_10-11-12.reg"
printf 'saved\r\n' >"$x86_folder/Backup/HVBak_01-02-2026_10-11-12/Gone.lnk"
printf '1\r\nHKEY_LOCAL_MACHINE\\Software\\Fonts\\X86Only|x86only.ttf\r\n' >"$x86_folder/ignorelist.dat"
cp "$x86_folder/ignorelist.dat" "$saved/x86-ignorelist.dat"
x86_win_folder='C:\Program Files (x86)\Hivora'
"$wine_run" reg add 'HKLM\SOFTWARE\Hivora' /v lastScan /t REG_SZ /d '01-02-2026 10:11:12' /f /reg:32 >/dev/null 2>&1
"$wine_run" reg add 'HKLM\SOFTWARE\Hivora' /v TotalFontErrors /t REG_SZ /d 7 /f /reg:32 >/dev/null 2>&1
"$wine_run" reg add "$uninstall_key" /v DisplayName /t REG_SZ /d Hivora /f /reg:32 >/dev/null 2>&1
"$wine_run" reg add "$uninstall_key" /v InstallLocation /t REG_SZ /d "$x86_win_folder" /f /reg:32 >/dev/null 2>&1
[ "$(reg_value 'HKLM\SOFTWARE\Wow6432Node\Hivora' lastScan /reg:64)" = "01-02-2026 10:11:12" ] ||
  fail "the seeded settings are not in the 32-bit registry"
cp "$drive_c/Program Files/Hivora/ignorelist.dat" "$saved/kept-ignorelist.dat" || fail "no ignore list kept above"
run "$combined_setup" /S
expect_rc 0 "the setup for every Windows over an x86 installation"
wait_for_prefix
folder="$drive_c/Program Files/Hivora"
expect_programs "$folder" "moved to x64"
expect_entry 'C:\Program Files\Hivora' "moved to x64"
[ "$(reg_value 'HKLM\SOFTWARE\Hivora' lastScan /reg:64)" = "01-02-2026 10:11:12" ] || fail "lastScan not moved"
[ "$(reg_value 'HKLM\SOFTWARE\Hivora' TotalFontErrors /reg:64)" = "7" ] || fail "a counter not moved"
[ -z "$(reg_value 'HKLM\SOFTWARE\Hivora' lastScan /reg:32)" ] || fail "the 32-bit settings are left"
# The folder kept the ignore list of the x64 installation uninstalled above: the x86 entries join it
[ "$(cat "$saved/kept-ignorelist.dat" "$saved/x86-ignorelist.dat")" = "$(cat "$folder/ignorelist.dat")" ] ||
  fail "the ignore lists not joined: $(cat "$folder/ignorelist.dat")"
[ -f "$folder/Logs/HV01-02-2026_10-11-12.log" ] || fail "the logs not moved"
[ -f "$folder/Backup/HVBak_01-02-2026_10-11-12.reg" ] &&
  [ -f "$folder/Backup/HVBak_01-02-2026_10-11-12/Gone.lnk" ] || fail "the backups not moved"
[ ! -e "$x86_folder" ] || fail "the x86 folder is left: $(cd "$x86_folder" && find . | tr '\n' ' ')"
# and the moved installation is the x64 program's: it reads the moved settings and ignore list
win_folder='C:\Program Files\Hivora'
cli stats
expect_rc 0 "stats after the move"
grep -qF "01-02-2026" <<<"$out" || fail "the x64 program does not see the moved settings: $out"
cli ignore list
grep -qF 'HKEY_LOCAL_MACHINE\Software\Fonts\X86Only|x86only.ttf' <<<"$out" || fail "the moved ignore list: $out"
[ "$(grep -c . <<<"$out")" = "$(( $(grep -c . "$folder/ignorelist.dat") / 2 ))" ] || fail "the joined ignore list: $out"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s); the prefix is kept in $WINEPREFIX"
  exit 1
fi
echo "all passed"
