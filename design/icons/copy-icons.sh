#!/usr/bin/env bash
# Copies the glyphs the icon roles and the windows' symbols use from the npm package
# @phosphor-icons/core into this folder, with the package's licence: regular weights as
# phosphor-<name>.svg, other weights as phosphor-<name>-<weight>.svg.
#
#   design/icons/copy-icons.sh [path/to/node_modules/@phosphor-icons/core]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

package=${1:-}
if [[ -z "$package" ]]; then
  npm install --silent --no-audit --no-fund --prefix "$work" @phosphor-icons/core@2.1.1 >/dev/null
  package="$work/node_modules/@phosphor-icons/core"
fi

names=(
  pencil-simple cursor sliders-horizontal grid-nine wifi-high laptop device-tablet arrow-right
  arrow-up-right arrow-clockwise arrow-counter-clockwise x caret-down check-circle warning-circle
  number-circle-one number-circle-two hand dots-three-circle shield-check network pulse arrows-out
  arrows-in eyedropper eraser lock-simple minus plus line-segment keyboard floppy-disk
  arrows-left-right selection
)
for name in "${names[@]}"; do
  cp "$package/assets/regular/$name.svg" "$here/phosphor-$name.svg"
done

# The symbols the windows name directly, as <name> or <name>-<weight>.
symbols=(
  x-bold check-bold power arrows-clockwise download-simple hand-pointing-fill check-circle-fill
  cards dots-nine dots-nine-fill eraser
)
for symbol in "${symbols[@]}"; do
  weight=regular
  for w in bold fill; do
    if [[ "$symbol" == *-"$w" ]]; then
      weight=$w
    fi
  done
  cp "$package/assets/$weight/$symbol.svg" "$here/phosphor-$symbol.svg"
done
cp "$package/LICENSE" "$here/LICENSE-phosphor.txt"
