#!/usr/bin/env bash
# Rebuilds BarlowSemiCondensed-{Regular,Medium,SemiBold}.ttf from the npm package
# @fontsource/barlow-semi-condensed. The package ships each weight split into per-script WOFF2
# subsets; registered side by side those subsets shadow each other, so each weight is merged
# into one TrueType file.
#
#   design/fonts/make-fonts.sh [path/to/node_modules/@fontsource/barlow-semi-condensed]
#
# Without a path the package is installed into a temporary directory. Needs npm, woff2 and
# Debian's python3-fonttools (called through /usr/bin/python3, which has fontTools).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

package=${1:-}
if [[ -z "$package" ]]; then
  (cd "$work" && npm install --silent --no-audit --no-fund --prefix "$work" \
    @fontsource/barlow-semi-condensed@5.3.0 >/dev/null)
  package="$work/node_modules/@fontsource/barlow-semi-condensed"
fi

for pair in 400:Regular 500:Medium 600:SemiBold; do
  weight=${pair%%:*}
  face=${pair#*:}
  parts=()
  for subset in latin latin-ext vietnamese; do
    src="$package/files/barlow-semi-condensed-$subset-$weight-normal.woff2"
    cp "$src" "$work/$subset-$weight.woff2"
    woff2_decompress "$work/$subset-$weight.woff2" >/dev/null
    parts+=("$work/$subset-$weight.ttf")
  done
  /usr/bin/python3 -m fontTools.merge --output-file="$here/BarlowSemiCondensed-$face.ttf" "${parts[@]}"
done
cp "$package/LICENSE" "$here/OFL.txt"
