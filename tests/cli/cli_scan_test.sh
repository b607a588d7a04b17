#!/usr/bin/env bash
# hivora-cli scan and ignore, run under Wine from a program folder of their own:
#   cli_scan_test.sh path/to/hivora-cli.exe path/to/scripts/wine-run
# Seeds two stale start-up entries into the prefix's real registry and removes them again.
set -u
cli_built=$1
wine_run=$2
dir=$(mktemp -d /tmp/hivora-cli-scan.XXXXXX)
cli="$dir/hivora-cli.exe"
cp "$cli_built" "$cli"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
failures=0

# import_reg NAME LINES: LINES as a registry file in UTF-16 (the way to hand Wine a name beyond
# ASCII whatever the host's locale), imported.
import_reg() {
  { printf '\xff\xfe'; printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n' "$2" | iconv -f UTF-8 -t UTF-16LE; } >"$dir/$1.reg"
  "$wine_run" reg import "Z:${dir//\//\\}\\$1.reg" >/dev/null 2>&1
}
run_section='[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]'

cleanup() {
  import_reg unseed "$run_section"$'\r\n''"HivoraCliTestÉté"=-'
  "$wine_run" reg delete "$run_key" /v HivoraCliTestGone /f >/dev/null 2>&1
  "$wine_run" reg delete "$run_key" /v HivoraCliTestTab /f >/dev/null 2>&1
  rm -rf "$dir"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run ARGS...: sets rc, out, err (carriage returns removed)
run() {
  "$wine_run" "$cli" "$@" >"$dir/out" 2>"$dir/err"
  rc=$?
  out=$(tr -d '\r' <"$dir/out")
  err=$(tr -d '\r' <"$dir/err")
}
expect_rc() { [ "$rc" = "$1" ] || fail "$2: exit $rc, expected $1; stderr: $err"; }
expect_in() { grep -qF -- "$2" <<<"$1" || fail "$3: '$2' missing in: $1"; }
expect_not_in() { ! grep -qF -- "$2" <<<"$1" || fail "$3: '$2' present in: $1"; }

# Help and usage errors
run --help;                         expect_rc 0 "--help"; expect_in "$out" "scan" "--help"; expect_in "$out" "ignore" "--help"
run help scan;                      expect_rc 0 "help scan"; expect_in "$out" "--categories=LIST" "help scan"
run help ignore;                    expect_rc 0 "help ignore"; expect_in "$out" "remove NUMBER" "help ignore"
run frobnicate;                     expect_rc 2 "unknown command"; expect_in "$err" "unknown command 'frobnicate'" "unknown command"
run scan --categories=fonts,bogus;  expect_rc 2 "unknown category"; expect_in "$err" "unknown category 'bogus'" "unknown category"
expect_in "$err" "usage: hivora-cli scan" "usage after the error"
run scan --fast;                    expect_rc 2 "unknown option"; expect_in "$err" "unknown option '--fast'" "unknown option"
run scan --format=xml;              expect_rc 2 "unknown format"; expect_in "$err" "unknown format 'xml'" "unknown format"
run ignore;                         expect_rc 2 "ignore without command"
run ignore drop 1;                  expect_rc 2 "ignore drop"; expect_in "$err" "unknown command 'ignore drop'" "ignore drop"
run ignore add nocat K V D;         expect_rc 2 "ignore add bad category"; expect_in "$err" "unknown category 'nocat'" "ignore add"
run ignore add winstrt K V;         expect_rc 2 "ignore add too few"
run ignore remove 1;                expect_rc 2 "remove from an empty list"
run ignore remove x;                expect_rc 2 "remove a non-number"
[ ! -e "$dir/ignorelist.dat" ] || fail "a usage error wrote the ignore list"

# Stale start-up entries, one with a tab in its data
gone='C:\nowhere\hivora-cli-test\gone.exe'
"$wine_run" reg add "$run_key" /v HivoraCliTestGone /t REG_SZ /d "$gone" /f >/dev/null 2>&1
"$wine_run" reg add "$run_key" /v HivoraCliTestTab /t REG_SZ /d $'C:\\nowhere\\a.exe\t-b' /f >/dev/null 2>&1

run scan --categories=winstrt --format=tsv
expect_rc 0 "scan tsv"
line=$(grep -F 'HivoraCliTestGone' <<<"$out")
[ -n "$line" ] || fail "tsv: the stale entry is not reported: $out"
key_field=$(cut -f2 <<<"$line")
case "$key_field" in
  'HKEY_LOCAL_MACHINE\\'*'\\Run') ;;
  *) fail "tsv: key field '$key_field'" ;;
esac
[ "$(cut -f1,3,4 <<<"$line")" = $'winstrt\tHivoraCliTestGone\tC:\\\\nowhere\\\\hivora-cli-test\\\\gone.exe' ] ||
  fail "tsv line: $line"
expect_in "$out" $'HivoraCliTestTab\tC:\\\\nowhere\\\\a.exe\\t-b' "tsv escapes"
awk -F'\t' 'NF != 4 || $1 != "winstrt" { bad = 1 } END { exit bad }' <<<"$out" || fail "tsv: other output: $out"
errs=$("$wine_run" reg query 'HKLM\SOFTWARE\Hivora' /v TotalWinStartUpErrors 2>/dev/null | tr -d '\r' | awk '/TotalWinStartUpErrors/ { print $3 }')
[ "$errs" = "$(grep -c . <<<"$out")" ] || fail "found counter $errs for $(grep -c . <<<"$out") problems"
grep -q 'Eroor at HKEY_LOCAL_MACHINE.*HivoraCliTestGone=C:' "$dir"/Logs/HV_*.log || fail "log has no problem record"

# A name beyond ASCII (in the ANSI code page) reaches a pipe as UTF-8 without a byte order mark,
# exactly, its data too
import_reg seed "$run_section"$'\r\n''"HivoraCliTestÉté"="C:\\nowhere\\hivora-cli-test\\été.exe"'
"$wine_run" "$cli" scan --categories=winstrt --format=tsv 2>"$dir/err" | cat >"$dir/piped"
[ "$(head -c 3 "$dir/piped" | od -An -tx1 | tr -d ' ')" != "efbbbf" ] || fail "pipe: a byte order mark"
iconv -f UTF-8 -t UTF-8 "$dir/piped" >/dev/null 2>&1 || fail "pipe: not UTF-8: $(od -c "$dir/piped" | head -20)"
grep -qaF $'\tHivoraCliTestÉté\tC:\\\\nowhere\\\\hivora-cli-test\\\\été.exe' "$dir/piped" ||
  fail "pipe: the name beyond ASCII is not there exactly: $(grep -a HivoraCliTest "$dir/piped" | od -c | head)"
grep -qaF 'HivoraCliTestGone' "$dir/piped" || fail "pipe: the other entries are missing"

run scan --categories=winstrt
expect_rc 0 "scan text"
expect_in "$out" "Windows Startup Items (" "text group"
expect_in "$out" "The file referenced doesn't exist." "text description"
expect_in "$out" "HivoraCliTestGone=$gone" "text description"
expect_in "$out" "Scanning Completed !" "text summary"
expect_in "$out" "Critical Error(s) found" "text summary"
expect_not_in "$out" "<br>" "markup"
expect_not_in "$out" "<font" "markup"
grep -qE '^  Font Entries +--$' <<<"$out" || fail "skipped category not shown as --: $out"

# Ignore list
run ignore list; expect_rc 0 "ignore list (empty)"; expect_in "$out" "The ignore list is empty." "empty list"
key=$(cut -f2 <<<"$line" | sed 's/\\\\/\\/g')
run ignore add winstrt "$key" HivoraCliTestGone "$gone"
expect_rc 0 "ignore add"
run ignore add fonts 'HKEY_LOCAL_MACHINE\Software\Fonts' Example 'example.ttf'
expect_rc 0 "ignore add second"
[ "$(tr -d '\r' <"$dir/ignorelist.dat" | sed -n 1p)" = "6" ] || fail "ignorelist.dat: $(cat "$dir/ignorelist.dat")"
[ "$(tr -d '\r' <"$dir/ignorelist.dat" | sed -n 2p)" = "$key\\HivoraCliTestGone|$gone" ] || fail "ignorelist.dat key"
run ignore list
expect_rc 0 "ignore list"
[ "$(sed -n 1p <<<"$out")" = '   1  Fonts                 HKEY_LOCAL_MACHINE\Software\Fonts\Example|example.ttf' ] ||
  fail "newest first: $out"
expect_in "$(sed -n 2p <<<"$out")" "   2  Start-Up items" "second row"
grep -q "Ignored Start-Up items problem key:$(sed 's/\\/\\\\/g' <<<"$key") valueName:HivoraCliTestGone" \
  "$dir"/Logs/HV_*.log || fail "ignore add is not logged"

run scan --categories=winstrt --format=tsv
expect_rc 0 "scan after ignore"
expect_not_in "$out" "HivoraCliTestGone" "ignored entry reported"
expect_in "$out" "HivoraCliTestTab" "other entry still reported"

run ignore remove 3; expect_rc 2 "remove out of range"
run ignore remove 2 1 2; expect_rc 0 "ignore remove"; expect_in "$out" "Removed 2 entries." "remove"
[ ! -s "$dir/ignorelist.dat" ] || fail "ignorelist.dat not empty after removing all"

# Ctrl+C stops the scan as the Stop button does
rm -rf "$dir/Logs"
"$wine_run" "$cli" scan --categories=fileref,deepscn >"$dir/out" 2>"$dir/err" &
wrapper=$!
# As soon as the first category has begun: the walk of the trees takes seconds.
for _ in $(seq 600); do
  grep -qs Finding "$dir"/Logs/HV_*.log && break
  sleep 0.1
done
pid=$(pgrep -P "$wrapper" | head -1)
[ -n "$pid" ] && kill -INT "$pid"
wait "$wrapper"
rc=$?
out=$(tr -d '\r' <"$dir/out")
expect_rc 0 "scan stopped by Ctrl+C"
expect_in "$out" "Scanning cancelled by the user !" "Ctrl+C summary"
grep -qE '^  COM/ActiveX Entries +--$' <<<"$out" || fail "Ctrl+C: categories not run are not skipped: $out"
grep -q "Scan cancelled by user" "$dir"/Logs/HV_*.log || fail "Ctrl+C is not logged"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all passed"
