#!/bin/sh
# The Examora installer's own step, run by the self-extracting archive ExamoraUpdate.run from the
# folder it unpacked into (payload/ holds the application folder).
#
#   ExamoraUpdate.run [-- [FOLDER] [--no-start]]   install or upgrade (default ~/.local/share/Examora,
#                                                  or the installation whose client started it)
#   ExamoraUpdate.run -- --uninstall [FOLDER]        remove it, its menu entry and icon
#
# FOLDER is a symbolic link to the installed version's own folder (FOLDER.d/<version>-<stamp>), so
# an upgrade switches versions with one atomic rename: a failed or interrupted install leaves the
# old version in place and runnable. The user's orva.ini and OrvaLogConf.ini are carried over,
# Log/ and dump/ are moved over.
set -eu
# Whoever read our output may be gone (the client that started us has ended): a write that fails
# must not end the install.
trap '' PIPE

data=${XDG_DATA_HOME:-"$HOME/.local/share"}
target="$data/Examora"
# Started by an installed client from its update folder (FOLDER.d/<version>/updatebox/): that
# installation is the one to upgrade.
if [ -n "${ARCHIVE_DIR:-}" ] && [ "$(basename "$ARCHIVE_DIR")" = updatebox ]; then
  app=$(cd "$ARCHIVE_DIR/.." 2>/dev/null && pwd -P || true)
  versions_of_app=$(dirname "$app")
  case $versions_of_app in
    *.d) [ -x "$app/Examora" ] && target=${versions_of_app%.d} ;;
  esac
fi
uninstall=0
start=1
for argument in "$@"; do
  case $argument in
    --uninstall) uninstall=1 ;;
    --no-start) start=0 ;;
    -*) echo "usage: ExamoraUpdate.run [-- [FOLDER] [--no-start] | --uninstall [FOLDER]]" >&2; exit 2 ;;
    *) target=$argument ;;
  esac
done
case $target in
  /*) ;;
  *) target="$PWD/$target" ;;
esac
target=${target%/}
versions="$target.d"
entry="$data/applications/examora.desktop"
icon="$data/icons/hicolor/256x256/apps/examora.png"

refresh_menus() {
  command -v update-desktop-database >/dev/null 2>&1 && update-desktop-database -q "$data/applications" 2>/dev/null || true
  command -v gtk-update-icon-cache >/dev/null 2>&1 && gtk-update-icon-cache -q -t "$data/icons/hicolor" 2>/dev/null || true
}

if [ "$uninstall" = 1 ]; then
  rm -rf "$target" "$versions" "$entry" "$icon"
  refresh_menus
  echo "Examora removed from $target"
  exit 0
fi

payload=$(cd "$(dirname "$0")" && pwd)/payload
version=$(cat "$payload/VERSION")
mkdir -p "$versions"
# Leftovers of an install that was killed half-way.
rm -rf "$versions"/.new-* "$target".new-*

stamp=$(date +%Y%m%d%H%M%S)-$$
new="$versions/.new-$stamp"
cp -a "$payload/." "$new/"
rm -f "$new/VERSION"

# The folder now in use: a link to a version (an earlier install), or a plain folder (cmake --install).
current=""
if [ -L "$target" ]; then
  current=$(readlink -f "$target")
elif [ -d "$target" ]; then
  # Once: a plain folder becomes the first version behind the link.
  current="$versions/previous-$stamp"
  mv "$target" "$current"
  ln -s "$current" "$target"
fi
if [ -n "$current" ] && [ -d "$current" ]; then
  for kept in orva.ini OrvaLogConf.ini; do
    [ -f "$current/$kept" ] && cp -p "$current/$kept" "$new/$kept"
  done
fi

final="$versions/$version-$stamp"
mv "$new" "$final"
# The switch: one rename of a fresh link over the old one.
ln -sfn "$final" "$target.new-$$"
mv -T "$target.new-$$" "$target"

# The user's logs and crash reports come along; the old version's folder goes.
if [ -n "$current" ] && [ -d "$current" ] && [ "$current" != "$final" ]; then
  for moved in Log dump; do
    if [ -d "$current/$moved" ]; then
      mkdir -p "$final/$moved"
      cp -a "$current/$moved/." "$final/$moved/"
    fi
  done
  rm -rf "$current"
fi
for old in "$versions"/*; do
  [ "$old" = "$final" ] || rm -rf "$old"
done

# The desktop's menu entry and icon.
mkdir -p "$(dirname "$entry")" "$(dirname "$icon")"
cp "$final/skin/Examora@2x.png" "$icon" 2>/dev/null || cp "$final/skin/Examora.png" "$icon"
quoted=$(printf '%s' "$target/Examora" | sed 's/\\/\\\\\\\\/g; s/"/\\\\"/g; s/`/\\\\`/g; s/\$/\\\\$/g')
cat > "$entry.tmp" <<ENTRY
[Desktop Entry]
Type=Application
Name=Examora
Comment=Mock examinations for the accountancy certification
Exec="$quoted"
Icon=examora
Terminal=false
Categories=Education;
ENTRY
mv "$entry.tmp" "$entry"
refresh_menus

echo "Examora $version installed in $target"
if [ "$start" = 1 ]; then
  nohup "$target/Examora" >/dev/null 2>&1 &
fi
