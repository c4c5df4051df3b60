#!/usr/bin/env bash
# A Secret Service of the tests' own: gnome-keyring-daemon with its login keyring unlocked, on a
# private D-Bus session bus (never the machine's session), in a folder of this build.
#   keyring.sh start DIR          starts it; DIR/keyring.env then holds the bus's address
#   keyring.sh stop DIR           stops it (the bus, the daemon and whatever the bus started)
#   keyring.sh run DIR CMD ARG... runs the command on that bus
#   keyring.sh pid DIR            the daemon's process (to stop it for a while, or kill it)
set -euo pipefail
command=${1:?}
dir=${2:?}
shift 2

stop() {
    if [ -f "$dir/session.pid" ]; then
        local pid
        pid=$(cat "$dir/session.pid")
        # The session runs in a process group of its own: the bus and everything on it go.
        kill -TERM -- "-$pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 -- "-$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$pid" 2>/dev/null || true
        rm -f "$dir/session.pid"
    fi
}

case "$command" in
start)
    stop
    rm -rf "$dir"
    mkdir -p "$dir/home/.local/share" "$dir/home/.config" "$dir/run"
    chmod 700 "$dir" "$dir/home" "$dir/run"
    # The bus starts no service on demand: a keyring the tests stop or kill stays gone until
    # they say otherwise, and no daemon the bus would start takes its name behind their back.
    cat >"$dir/bus.conf" <<'BUS'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
BUS
    cat >"$dir/session.sh" <<'SESSION'
set -eu
dir=$1
# The login keyring, made and unlocked with this password on the daemon's input.
printf '%s' 'portachiavi-di-prova' |
    gnome-keyring-daemon --foreground --unlock --components=secrets >"$dir/daemon.log" 2>&1 &
echo $! >"$dir/daemon.pid"
for _ in $(seq 200); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
        grep -q 'boolean true'; then
        echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" >"$dir/keyring.env.nuovo"
        mv "$dir/keyring.env.nuovo" "$dir/keyring.env"
        break
    fi
    sleep 0.1
done
# The bus lives as long as this script: until the fixture stops it.
while :; do sleep 3600; done
SESSION
    env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
        HOME="$dir/home" XDG_DATA_HOME="$dir/home/.local/share" \
        XDG_CONFIG_HOME="$dir/home/.config" XDG_RUNTIME_DIR="$dir/run" \
        setsid dbus-run-session --config-file="$dir/bus.conf" -- bash "$dir/session.sh" "$dir" \
        >"$dir/session.log" 2>&1 </dev/null &
    echo $! >"$dir/session.pid"
    for _ in $(seq 300); do
        [ -f "$dir/keyring.env" ] && exit 0
        sleep 0.1
    done
    echo "Il portachiavi di prova (gnome-keyring-daemon) non è partito:" >&2
    cat "$dir/session.log" "$dir/daemon.log" >&2 2>/dev/null || true
    stop
    exit 1
    ;;
stop)
    stop
    ;;
run)
    [ -f "$dir/keyring.env" ] || { echo "Il portachiavi di prova non è partito ($dir)" >&2; exit 1; }
    set -a
    # shellcheck disable=SC1091
    . "$dir/keyring.env"
    set +a
    exec "$@"
    ;;
pid)
    cat "$dir/daemon.pid"
    ;;
*)
    echo "uso: keyring.sh start|stop|run|pid DIR" >&2
    exit 2
    ;;
esac
