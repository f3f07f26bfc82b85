#!/bin/sh
# with-keyring.sh command [argument ...]: the command on a bus of its own with a GNOME Keyring unlocked by a
# test password, in a throwaway home, so nothing reaches the user's own keyring.
home=$(mktemp -d) || exit 1
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
       XDG_RUNTIME_DIR="$home/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
dbus-run-session -- sh -c \
    'eval "$(printf test-password | gnome-keyring-daemon --unlock --components=secrets)" && exec "$@"' sh "$@"
