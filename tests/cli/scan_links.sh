#!/bin/sh
# Links in a delivery, made on the host: the Windows build cannot make them under Wine, which shows
# it a Unix symbolic link as the file or folder it leads to. Nothing they lead to may be walked,
# listed or copied, and --check reports each as outside the delivery.
# Usage: scan_links.sh native|wine SCANNER-COMMAND...
set -eu
mode=$1
shift
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
target() { if [ "$mode" = wine ]; then printf 'Z:%s' "$1" | tr / '\\'; else printf '%s' "$1"; fi; }
eps() { printf '%%!PS-Adobe-3.0 EPSF-3.0\r\n%%%%Creator: %s\r\n%%%%DocumentFiles:%s\r\n' "$1" "$2"; shift 2
        for n; do printf '%%%%+%s\r\n' "$n"; done; printf '%%%%EndComments\r\n%%%%EOF\r\n'; }
fail() { echo "scan_links ($mode): $*" >&2; exit 1; }

mkdir -p "$t/delivery/job" "$t/delivery/lk" "$t/secret"
printf secret > "$t/secret/credentials.txt"
printf secret > "$t/secret/logo.tif"
eps CreatorOutside none.tif > "$t/secret/outside.eps"
printf inside > "$t/delivery/job/inside.psd"
ln -s "$t/secret/credentials.txt" "$t/delivery/job/alias.psd"
ln -s "$t/secret" "$t/delivery/job/linked"
ln -s "$t/secret" "$t/delivery/lk/Links"
ln -s "$t/secret" "$t/delivery/walked"
eps CreatorJob inside.psd alias.psd linked/credentials.txt > "$t/delivery/job/card.eps"
eps CreatorLinks "Macintosh HD:Links:logo.tif" > "$t/delivery/lk/card.eps"

"$@" --collect "$(target "$t/out")" "$(target "$t/delivery")" > "$t/collect.txt" 2>&1 || true
[ "$(ls -A "$t/out")" = inside.psd ] || fail "copied: $(ls -A "$t/out" | tr '\n' ' ')"
grep -q CreatorOutside "$t/collect.txt" && fail "walked into a linked folder"
"$@" --check --json "$(target "$t/delivery")" > "$t/check.json" 2>&1 || true
outside=$(grep -o '"outside_delivery"' "$t/check.json" | wc -l)
[ "$outside" -eq 3 ] || fail "$outside links outside in: $(cat "$t/check.json")"
echo "scan_links ($mode): nothing outside walked, listed or copied"
