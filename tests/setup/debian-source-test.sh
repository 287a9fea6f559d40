#!/usr/bin/env bash
# The mingw builds' Debian sources: the deb-src entries that scripts/deb-src-sources derives
# name exactly the machine's own Debian deb entries (URIs, suites, components, Signed-By), and
# scripts/debian-source takes the pinned .dsc only with the SHA-256 recorded in the repository
# (which the signed index also carries), refusing it under a wrong record.
# Exit 77 (skipped) where apt or the archive cannot be reached.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
name=libxlsxwriter
revision=1.1.4-2
dsc_name=${name}_$revision.dsc

skip() { echo "debian-source-test: SKIPPED: $*"; exit 77; }
fail() { echo "debian-source-test: FAILED: $*"; exit 1; }

command -v apt-get >/dev/null || skip "no apt on this machine"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "site suite component" of every Debian deb entry of the machine, and of the derived entries.
apt-get indextargets --format '$(TARGET_OF) $(IDENTIFIER) $(ORIGIN) $(SITE) $(RELEASE) $(COMPONENT)' |
  awk '$1 == "deb" && $2 == "Packages" && $3 == "Debian" { print $4, $5, $6 }' | sort -u > "$work/deb"
[ -s "$work/deb" ] || skip "this machine has no Debian deb entry with fetched indexes"
mkdir -p "$work/parts"
"$root/scripts/deb-src-sources" > "$work/parts/derived.sources"
apt-get -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/parts" \
  -o "Dir::State::Lists=$work/no-lists" indextargets --no-release-info \
  --format '$(TARGET_OF) $(IDENTIFIER) $(SITE) $(RELEASE) $(COMPONENT)' |
  awk '$1 == "deb-src" && $2 == "Sources" { print $3, $4, $5 }' | sort -u > "$work/deb-src"
diff -u "$work/deb" "$work/deb-src" || fail "the derived deb-src entries differ from the deb entries"
echo "derived deb-src entries: $(wc -l < "$work/deb-src"), as the deb entries"

# Each derived Signed-By is the one its deb entry carries.
while read -r site suite entry; do
  file=${entry%:*}
  derived=$(awk -v s="$site" -v r="$suite" '
    /^URIs:/ { u = $2 } /^Suites:/ { x = $2 } /^Signed-By:/ && u == s && x == r { print $2 }' \
    "$work/parts/derived.sources")
  if [ -n "$derived" ]; then
    grep -qiF "signed-by" "$file" && grep -qF "$derived" "$file" ||
      fail "$site $suite: Signed-By $derived is not its deb entry's ($file)"
  elif grep -qi "signed-by" "$file"; then
    fail "$site $suite: its deb entry in $file has a Signed-By, the derived entry none"
  fi
done < <(apt-get indextargets --format '$(TARGET_OF) $(IDENTIFIER) $(ORIGIN) $(SITE) $(RELEASE) $(SOURCESENTRY)' |
         awk '$1 == "deb" && $2 == "Packages" && $3 == "Debian" { print $4, $5, $6 }' | sort -u)

# Signed-By taken from the very entry, in both forms, where each entry names its own keyring:
# a disabled stanza and a paragraph of comments come first, and the one-line entry has options.
read -r site suite component < "$work/deb"
mkdir -p "$work/forms/822" "$work/forms/one-line"
cat > "$work/forms/822/fixture.sources" <<EOF
# comments, then a paragraph of comments only

# Types: deb

Types: deb
URIs: http://disabled.invalid/debian
Suites: $suite
Components: $component
Enabled: no
Signed-By: /disabled.gpg

Types: deb
URIs: $site
Suites: $suite
Components: $component
Signed-By:
 /fixture-822.gpg
EOF
cat > "$work/forms/one-line/fixture.list" <<EOF
# deb [signed-by=/commented.gpg] $site $suite $component
deb [ arch=amd64 signed-by=/fixture-list.gpg ] $site $suite $component
EOF
for form in 822:/fixture-822.gpg one-line:/fixture-list.gpg; do
  got=$("$root/scripts/deb-src-sources" -o Dir::Etc::SourceList=/dev/null \
          -o "Dir::Etc::SourceParts=$work/forms/${form%%:*}" | tr -s ' \n' '  ')
  want="Types: deb-src URIs: $site Suites: $suite Components: $component Signed-By: ${form#*:} "
  [ "$got" = "$want" ] || fail "${form%%:*} form: derived '$got', not '$want'"
done

# An update that fails keeps no entry, so that the next run updates again instead of reading
# lists made for an earlier entry.
mkdir -p "$work/shim"
printf '#!/bin/sh\nfor a; do [ "$a" = update ] && exit 100; done\nexec %s "$@"\n' \
  "$(command -v apt-get)" > "$work/shim/apt-get"
chmod +x "$work/shim/apt-get"
mkdir -p "$work/stale/apt/lists"
echo stale > "$work/stale/apt/lists/old_Sources"
if PATH=$work/shim:$PATH "$root/scripts/debian-source" --dsc-only "$name" "$revision" \
     "$work/stale" > /dev/null 2>&1; then
  fail "a failed update went unnoticed"
fi
[ ! -e "$work/stale/apt/sources.list.d/debian-src.sources" ] ||
  fail "a failed update left its entry, which the next run would take as fetched"

# The recorded hash against the archive, and a wrong one refused.
recorded=$(awk -v f="$dsc_name" '$2 == f { print $1 }' "$root/scripts/debian-sources.sha256")
[ -n "$recorded" ] || fail "no SHA-256 recorded for $dsc_name"
if ! "$root/scripts/debian-source" --dsc-only "$name" "$revision" "$work/sources" \
     > "$work/fetched" 2> "$work/fetch.log"; then
  grep -q "refusing" "$work/fetch.log" && { cat "$work/fetch.log"; fail "the recorded hash is refused"; }
  tail -5 "$work/fetch.log"
  skip "the archive could not be reached"
fi
[ "$(cat "$work/fetched")" = "$work/sources/$dsc_name" ] || fail "it named $(cat "$work/fetched")"
[ "$(sha256sum "$work/sources/$dsc_name" | cut -d' ' -f1)" = "$recorded" ] ||
  fail "the fetched .dsc does not have the recorded hash, yet it was taken"
indexed=$(for f in "$work/sources/apt/lists/"*Sources*; do /usr/lib/apt/apt-helper cat-file "$f"; done |
          awk -v f="$dsc_name" '/^Checksums-Sha256:/ { in_sums = 1; next } /^[^ ]/ { in_sums = 0 }
                                  in_sums && $3 == f && !seen++ { print $1 }')
[ "$indexed" = "$recorded" ] || fail "the signed index has $indexed for $dsc_name, the record $recorded"

wrong=$(printf '%s' "$recorded" | tr '0-9a-f' '1-9a-f0')
echo "$wrong  $dsc_name" > "$work/wrong.sha256"
if QUILLMERE_SOURCE_HASHES=$work/wrong.sha256 "$root/scripts/debian-source" --dsc-only "$name" \
     "$revision" "$work/sources" > "$work/fetched" 2> "$work/fetch.log"; then
  fail "a wrong recorded hash was accepted"
fi
grep -q "refusing" "$work/fetch.log" || { cat "$work/fetch.log"; fail "the refusal does not say why"; }
: > "$work/empty.sha256"
if QUILLMERE_SOURCE_HASHES=$work/empty.sha256 "$root/scripts/debian-source" --dsc-only "$name" \
     "$revision" "$work/sources" > /dev/null 2>&1; then
  fail "a .dsc without a recorded hash was accepted"
fi
echo "debian-source-test: passed"
