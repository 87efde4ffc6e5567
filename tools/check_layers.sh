#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. Each folder may include
# its own headers and those of the folders listed for it; the table follows the libraries of
# src/CMakeLists.txt, from the bottom up.
set -euo pipefail
cd "$(dirname "$0")/.."

core="platform environment diag"
logic="$core settings service im audio update"
declare -A allowed=(
  [src/platform]="platform"
  [src/environment]="environment platform"
  [src/diag]="$core"
  [src/settings]="$core settings"
  [src/service]="$core service"
  [src/im]="$core im"
  [src/audio]="$core audio"
  [src/update]="$core service update"
  [src/ui]="$core ui"
  [src/messages]="$core ui messages"
  [src/account]="$logic ui messages account dialogs"
  [src/dialogs]="$logic ui messages account dialogs"
  [src/mainwnd]="$logic ui messages account dialogs mainwnd"
  [src/app]="$logic ui messages account dialogs mainwnd app"
  [imsdk]="platform"
  [localservice]="$core service"
)

status=0
for folder in "${!allowed[@]}"; do
  [[ -d $folder ]] || continue
  while IFS=: read -r file line text; do
    layer=$(sed -E 's/^#include "([A-Za-z_]+)\/.*/\1/' <<<"$text")
    if [[ " ${allowed[$folder]} " != *" $layer "* ]]; then
      echo "$file:$line: $folder may not include $layer/ (a layer above it or beside it)"
      status=1
    fi
  done < <(grep -HnE '^#include "[A-Za-z_]+/' "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
done
# A folder of src/ that the table does not know is a layer nobody placed.
for folder in src/*/; do
  folder=${folder%/}
  if [[ -z ${allowed[$folder]+set} ]]; then
    echo "$folder: not in the layer table of tools/check_layers.sh"
    status=1
  fi
done
exit $status
