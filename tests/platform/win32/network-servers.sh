#!/usr/bin/env bash
# The servers the WinInet tests talk to, run on the Linux side of Wine: the updater tests' HTTP and
# FTP mirrors and tinyproxy, all on 127.0.0.1 at free ports, serving DIR/mirror.
#   network-servers.sh start DIR   starts them; writes DIR/ports ("http N", "ftp N", "proxy N") and
#                                  DIR/pids (one process ID a line)
#   network-servers.sh stop DIR    ends exactly the processes in DIR/pids, then removes DIR
set -euo pipefail
action=${1:?start or stop}
dir=${2:?folder}
servers=$(cd "$(dirname "$0")/../../updater/servers" && pwd)
python=/usr/bin/python3

wait_for_port() { # wait_for_port FILE: the N of the "PORT N" line a server printed into FILE
    local i
    for i in $(seq 100); do
        if grep -q '^PORT ' "$1" 2>/dev/null; then sed -n 's/^PORT //p' "$1"; return 0; fi
        sleep 0.1
    done
    echo "no server started (see $1)" >&2
    return 1
}

case $action in
start)
    rm -rf "$dir"
    mkdir -p "$dir/mirror"
    "$python" "$servers/http_mirror.py" "$dir/mirror" "$dir/requests.log" >"$dir/http.out" 2>&1 &
    echo $! >>"$dir/pids"
    "$python" "$servers/ftp_mirror.py" "$dir/mirror" >"$dir/ftp.out" 2>&1 &
    echo $! >>"$dir/pids"
    proxy=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    printf 'Port %s\nListen 127.0.0.1\nTimeout 60\nLogLevel Info\nMaxClients 20\nAllow 127.0.0.1\nLogFile "%s"\n' \
        "$proxy" "$dir/proxy.log" >"$dir/tinyproxy.conf"
    tinyproxy -d -c "$dir/tinyproxy.conf" >/dev/null 2>&1 &
    echo $! >>"$dir/pids"
    printf 'http %s\nftp %s\nproxy %s\n' "$(wait_for_port "$dir/http.out")" "$(wait_for_port "$dir/ftp.out")" \
        "$proxy" >"$dir/ports"
    for i in $(seq 100); do
        "$python" -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$proxy" \
            2>/dev/null && exit 0
        sleep 0.1
    done
    echo "tinyproxy did not start" >&2
    exit 1
    ;;
stop)
    if [ -f "$dir/pids" ]; then
        while read -r pid; do
            kill "$pid" 2>/dev/null || true
        done <"$dir/pids"
    fi
    rm -rf "$dir"
    ;;
esac
