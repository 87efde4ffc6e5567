#!/bin/sh
# Runs a program on a session bus of its own with GNOME Keyring's Secret Service unlocked, in a
# home of its own: with-keyring.sh PROGRAM [ARGUMENTS...]
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
exec dbus-run-session -- sh -c '
  printf examora | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  exec "$@"' keyring "$@"
