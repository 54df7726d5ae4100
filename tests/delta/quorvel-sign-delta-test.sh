#!/usr/bin/env bash
# quorvel-sign delta and check-delta run as a vendor runs them.
#   quorvel-sign-delta-test.sh QUORVEL_SIGN
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir old new out
head -c 2000000 /dev/urandom >old/app.bin
cp old/app.bin new/app.bin
printf 'changed' | dd of=new/app.bin bs=1 seek=5000 conv=notrunc 2>/dev/null
echo same >old/readme.txt
echo same >new/readme.txt
echo added >new/added.txt
(cd old && gcab -cz ../app-1.cab app.bin readme.txt)
(cd new && gcab -cz ../app.cab app.bin readme.txt added.txt)

fail() { echo "FAIL: $*"; exit 1; }

"$tool" delta app-1.cab app.cab --from-release 1 --release 2 --out out >made.txt || fail "delta"
[ -f out/app.cab.from-1 ] || fail "no out/app.cab.from-1"
size=$(stat -c %s out/app.cab.from-1)
digest=$(sha512sum out/app.cab.from-1 | cut -d' ' -f1)
grep -qx "size: $size" made.txt || fail "size line: $(cat made.txt)"
grep -qx "sha512: $digest" made.txt || fail "digest line"
grep -qx "files: 1 patched, 1 whole, 1 unchanged" made.txt || fail "files line: $(cat made.txt)"
((size < 20000)) || fail "delta of $size bytes"

"$tool" check-delta app-1.cab out/app.cab.from-1 >/dev/null || fail "check-delta of the right base"
if "$tool" check-delta app.cab out/app.cab.from-1 2>err.txt; then fail "check-delta of another base"; fi
grep -q "has changed: app.bin" err.txt || fail "check-delta message: $(cat err.txt)"

set +e
"$tool" delta app-1.cab app.cab --from-release 2 --release 2 --out out 2>/dev/null
[ $? -eq 2 ] || fail "a release not above its base is wrong usage"
"$tool" delta app-1.cab missing.cab --from-release 1 --release 2 --out out 2>/dev/null
[ $? -eq 1 ] || fail "a missing package fails"
echo "quorvel-sign delta: all checks passed"
