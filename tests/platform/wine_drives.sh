#!/usr/bin/env bash
# Runs the Windows volume tests against real drives of Wine, in a private copy of the Wine prefix
# (so that no other test sees these drives, and its registry can change while they run):
#   D: a fresh folder, E: a fresh folder that Wine's registry types as a CD-ROM drive, F: a small
#   tmpfs of its own, so that the drives' free spaces differ.
#   wine_drives.sh WINE64 TEST_PROGRAM [TEST ARGUMENTS...]
# WINEPREFIX names the prefix to copy (~/.wine by default). Mounting the tmpfs needs root, or a
# user and mount namespace of its own, which the script then enters by itself.
set -euo pipefail

wine64=$1
program=$2
shift 2
small_bytes=$((64 * 1024 * 1024))
source_prefix=${WINEPREFIX:-$HOME/.wine}
wineserver=$(dirname "$wine64")/wineserver
[[ -x $wineserver ]] || wineserver=wineserver

if [[ ! -d $source_prefix/dosdevices ]]; then
  echo "wine_drives: no Wine prefix at $source_prefix" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tolbe-wine-drives-XXXXXX")
cleanup() {
  WINEPREFIX=$work/prefix "$wineserver" -k 2>/dev/null || true
  umount "$work/f" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/d" "$work/e" "$work/f"

if ! mount -t tmpfs -o "size=$small_bytes" tmpfs "$work/f" 2>/dev/null; then
  if [[ -n ${TOLBE_WINE_DRIVES_IN_NAMESPACE:-} ]]; then
    echo "wine_drives: cannot mount a tmpfs for drive F:" >&2
    exit 1
  fi
  trap - EXIT
  rm -rf "$work"
  exec unshare --user --map-root-user --mount \
    env TOLBE_WINE_DRIVES_IN_NAMESPACE=1 "$0" "$wine64" "$program" "$@"
fi

# Hard links make the copy at once; the registry files, which the wineserver rewrites in place,
# are copied for real. Other tests of the tree make and remove their temporary folders in the
# prefix meanwhile: a file that vanishes under the copy is no failure, any other error is.
if ! cp -al "$source_prefix" "$work/prefix" 2>"$work/copy.err"; then
  if grep -v 'No such file or directory' "$work/copy.err" | grep -q .; then
    cat "$work/copy.err" >&2
    exit 1
  fi
fi
for reg in "$work"/prefix/*.reg; do
  cp --remove-destination "$source_prefix/${reg##*/}" "$reg"
done
for letter in d e f; do
  ln -sfn "$work/$letter" "$work/prefix/dosdevices/$letter:"
done
export WINEPREFIX=$work/prefix
# Wine's helper processes live on after the program that started them: started here with no
# standard streams of ours, they keep none of the test runner's pipes open.
quiet() { "$@" </dev/null >/dev/null 2>&1; }
quiet "$wineserver" -p
quiet "$wine64" reg add 'HKLM\Software\Wine\Drives' /v e: /t REG_SZ /d cdrom /f
quiet "$wineserver" -k  # drive types are read when the next wineserver starts
quiet "$wineserver" -w
quiet "$wineserver" -p
quiet "$wine64" "$program" --gtest_list_tests

export TOLBE_TEST_WINE_DRIVES="D:fixed E:cdrom F:fixed"
export TOLBE_TEST_SMALL_DRIVE="F:$small_bytes"
"$wine64" "$program" "$@"
