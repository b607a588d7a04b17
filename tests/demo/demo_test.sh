#!/usr/bin/env bash
# Runs demo/run-demo exactly as make demo does from a shell without a display, in a fresh prefix,
# and checks that it ends well and leaves its four screenshots.
#   demo_test.sh path/to/demo/run-demo BUILD_DIR WORK_DIR
set -u
run_demo=$1
build=$2
work=$3
export HIVORA_DEMO_PREFIX="$work/demo-prefix"
export HIVORA_DEMO_OUT="$work/demo"
rm -rf "$HIVORA_DEMO_PREFIX" "$HIVORA_DEMO_OUT"

env -u DISPLAY -u WINEPREFIX "$run_demo" "$build"
rc=$?
failures=0
[ $rc -eq 0 ] || { echo "FAIL: run-demo ended with exit status $rc"; failures=1; }
for shot in 1-scan-now 2-scan-completed 3-results 4-statistics; do
  [ -s "$HIVORA_DEMO_OUT/$shot.png" ] || { echo "FAIL: no screenshot $shot.png"; failures=1; }
done
# A failed run leaves its prefix for a look inside.
[ $failures -ne 0 ] || rm -rf "$HIVORA_DEMO_PREFIX"
exit $failures
