# What the end-to-end scripts share, sourced after they set wine_run, saved (a scratch folder),
# win_folder and guidriver.
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# run PROGRAM ARGS...: sets rc and out (carriage returns removed)
run() {
  "$wine_run" "$@" >"$saved/out" 2>"$saved/err"
  rc=$?
  out=$(tr -d '\r' <"$saved/out")
}
cli() { run "$win_folder\\hivora-cli.exe" "$@"; }
drive() { run "$guidriver" "$@"; }
# retry N COMMAND...: COMMAND again until it succeeds, N times at most (a guidriver call waits 10
# seconds for its window by itself)
retry() {
  local n=$1
  shift
  for _ in $(seq "$n"); do
    "$@"
    [ "$rc" = 0 ] && return
  done
}
# reg_value KEY NAME [/reg:32|/reg:64]: the value's data, empty when it or its key is missing
reg_value() {
  "$wine_run" reg query "$1" /v "$2" ${3:+"$3"} 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
