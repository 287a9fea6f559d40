#!/usr/bin/env bash
# The set-up's fallback, tried against this machine's own package indexes without installing
# anything: with the preferences folder that scripts/security-pin writes, a Multi-Arch: same
# pair takes one version, from the main archive, on both architectures. It also replays the
# half-synced mirror that made the fallback necessary (the security suite's i386 index
# missing) and checks that the pair fails without the pin and resolves with it.
# Exit 77 (skipped) where the indexes cannot show it.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
pair=(libssl3 libssl3:i386)

skip() { echo "security-pin-test: SKIPPED: $*"; exit 77; }
fail() { echo "security-pin-test: FAILED: $*"; exit 1; }

command -v apt-cache >/dev/null && command -v apt-get >/dev/null || skip "no apt on this machine"
dpkg --print-foreign-architectures 2>/dev/null | grep -qx i386 ||
  skip "i386 is not a foreign architecture here (scripts/setup adds it)"
lists=$(apt-config shell L Dir::State::Lists/d | sed -n "s/^L='\(.*\)'$/\1/p")
[ -d "$lists" ] || skip "no package lists at '$lists' (run apt-get update)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/scripts/security-pin" "$work/pin"
mkdir -p "$work/no-pin"
# An empty dpkg status: the candidates then depend on the indexes and the pins alone, not on
# what this machine happens to have installed.
: > "$work/status"

# apt options for one try: the lists folder and the preferences folder.
apt_options() {
  echo -o "Dir::State::Lists=$1" -o "Dir::Etc::PreferencesParts=$2" \
       -o "Dir::State::status=$work/status" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
}

# One line per package of the pair: "version suite/component arch" of its candidate (the index
# that offers it), in the pair's order; nothing for a package without a candidate.
candidates() {
  local lists_dir=$1 prefs=$2
  # shellcheck disable=SC2046
  apt-cache $(apt_options "$lists_dir" "$prefs") policy "${pair[@]}" 2>/dev/null | awk '
    /^[^ ].*:$/ { want = ""; found = 0 }
    /^  Candidate:/ { want = $2 }
    /^ \*\*\* / || /^     [^ ]/ { v = ($1 == "***") ? $2 : $1; next_line = (v == want); next }
    next_line && !found && /^        [0-9-]+ / { print want, $3, $4; found = 1 }'
}

# The security suite's index files in lists folder $1, found by their release's label.
security_prefixes() {
  grep -l '^Label: Debian-Security$' "$1"/*_InRelease "$1"/*_Release 2>/dev/null |
    sed 's/_\(InRelease\|Release\)$/_/' || true
}

check_pinned() {
  local lists_dir=$1 what=$2 a b
  { read -r a; read -r b; } < <(candidates "$lists_dir" "$work/pin"; echo; echo)
  [ -n "$a" ] && [ -n "$b" ] || skip "$what: no candidate for ${pair[*]} in these indexes"
  echo "$what, pinned: ${pair[0]} $a; ${pair[1]} $b"
  [ "${a%% *}" = "${b%% *}" ] || fail "$what: the pinned candidates differ across architectures"
  for origin in "$a" "$b"; do
    case $origin in *security*) fail "$what: a pinned candidate comes from the security suite" ;; esac
  done
  # shellcheck disable=SC2046
  apt-get -s $(apt_options "$lists_dir" "$work/pin") install "${pair[@]}" >"$work/sim.log" 2>&1 ||
    { cat "$work/sim.log"; fail "$what: the pinned install does not resolve"; }
}

# The pin must reach every release of the security suite: each shows priority 100.
# shellcheck disable=SC2046
apt-cache $(apt_options "$lists" "$work/pin") policy >"$work/policy.log" 2>&1
if grep -q 'l=Debian-Security' "$work/policy.log"; then
  if grep -B1 'l=Debian-Security' "$work/policy.log" | grep -E '^ +[0-9]+ ' | grep -vqE '^ +100 '; then
    cat "$work/policy.log"; fail "a release of the security suite is not at priority 100"
  fi
else
  echo "security-pin-test: no security suite in this machine's sources; the pin changes nothing here"
fi

check_pinned "$lists" "this machine's indexes"

# The half-synced mirror: every index but the security suite's i386 one.
prefixes=$(security_prefixes "$lists")
[ -n "$prefixes" ] || { echo "security-pin-test: passed (no security suite to replay)"; exit 0; }
mkdir -p "$work/half/partial"
for f in "$lists"/*; do
  [ -f "$f" ] || continue
  base=${f##*/}
  skip_file=
  for p in $prefixes; do
    case $base in "${p##*/}"*binary-i386_Packages*) skip_file=1 ;; esac
  done
  [ -n "$skip_file" ] || ln -s "$f" "$work/half/$base"
done
check_pinned "$work/half" "half-synced indexes"

{ read -r a; read -r b; } < <(candidates "$work/half" "$work/no-pin"; echo; echo)
echo "half-synced indexes, unpinned: ${pair[0]} $a; ${pair[1]} $b"
if [ "${a%% *}" = "${b%% *}" ]; then
  echo "security-pin-test: the security suite holds no newer ${pair[0]} now, so the unpinned failure cannot be replayed"
else
  # shellcheck disable=SC2046
  if apt-get -s $(apt_options "$work/half" "$work/no-pin") install "${pair[@]}" >"$work/sim.log" 2>&1; then
    fail "half-synced indexes: unpinned candidates differ yet the install resolves; the replay is wrong"
  fi
fi
echo "security-pin-test: passed"
