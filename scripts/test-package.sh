#!/usr/bin/env bash
# The package round trip, as root: packs the normal build (cpack -G DEB),
# installs the package with dpkg -i, checks what it put where, runs the
# proftpd test against the installed program, upgrades it keeping the
# Crevik.ini that the README's steps changed, and purges it, which leaves
# nothing behind. Usage: scripts/test-package.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
dir=/opt/crevik unit=/usr/lib/systemd/system/crevik-watch@.service

if [ "$(id -u)" -ne 0 ]; then
  echo "skipping the package round trip: dpkg -i needs root"
  exit 0
fi
fail() { echo "package: $*" >&2; exit 1; }
[ ! -e "$dir" ] || fail "$dir exists already: this test would replace it (dpkg --purge crevik)"

echo "== package =="
rm -f "$build"/crevik_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/crevik_*.deb)
work=$(mktemp -d)
trap 'dpkg --purge crevik >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
dpkg -i "$deb" >/dev/null
for f in crevik Crevik.ini Crevik.ini.example Crevik.log README.md contrib/crevik-watch@.service \
         contrib/proftpd-crevik.conf contrib/sshd-crevik.conf contrib/feed-announce.py "$unit"; do
  [ -e "$dir/${f#"$dir/"}" ] || [ -e "$f" ] || fail "$f is not installed"
done
grep -qx "$dir/Crevik.ini" /var/lib/dpkg/info/crevik.conffiles || fail "Crevik.ini is no conffile"
"$dir/crevik" --version | grep -q '^crevik [0-9]' || fail "crevik --version: $("$dir/crevik" --version)"

status=0
python3 tests/e2e/proftpd_test.py "$dir/crevik" "$dir/contrib/proftpd-crevik.conf" --installed >"$work/proftpd.log" 2>&1 ||
  status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || { cat "$work/proftpd.log"; fail "the proftpd test failed"; }
grep "figures\|SKIP" "$work/proftpd.log" || true
changed=$(grep -c '^MESSAGE=\|^FEED=' "$dir/Crevik.ini" || true)
[ "$status" -eq 77 ] || [ "$changed" -eq 2 ] || fail "the README's changes are not in $dir/Crevik.ini"

# An upgrade: the same package with a higher version keeps the changed conffile.
dpkg-deb -R "$deb" "$work/next"
sed -i 's/^Version: .*/&+1/' "$work/next/DEBIAN/control"
dpkg-deb -b "$work/next" "$work/next.deb" >/dev/null
dpkg -i "$work/next.deb" >/dev/null
[ "$(grep -c '^MESSAGE=\|^FEED=' "$dir/Crevik.ini" || true)" -eq "$changed" ] || fail "the upgrade lost the changed Crevik.ini"

dpkg --purge crevik >/dev/null 2>&1
[ ! -e "$dir" ] && [ ! -e "$unit" ] || fail "the purge left $(ls -d "$dir" "$unit" 2>/dev/null)"
echo "package: installed, proftpd test against $dir/crevik (status $status), upgraded keeping Crevik.ini, purged"
