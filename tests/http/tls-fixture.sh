#!/usr/bin/env bash
# Loopback TLS peers for the Windows request tests.
#   tls-fixture.sh start <dir> <wine-run> <trust-helper.exe>
#   tls-fixture.sh stop <dir>
# `start` makes a throwaway CA with a certificate for localhost and, apart from it, a
# self-signed certificate that nothing trusts; puts one stunnel listener in front of each,
# both forwarding to a plain port that the test program serves; and adds the CA to the
# machine root store of the build's Wine prefix only. The three ports go to <dir>/ports.
set -euo pipefail
action=$1 dir=$2

stop() {
  if [ -f "$dir/stunnel.pid" ]; then
    kill "$(cat "$dir/stunnel.pid")" 2>/dev/null || true
    rm -f "$dir/stunnel.pid"
  fi
}

if [ "$action" = stop ]; then stop; exit 0; fi

wine_run=$3 trust_helper=$4
stop
rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"

quiet() { "$@" >/dev/null 2>&1; }
san="subjectAltName=DNS:localhost,IP:127.0.0.1"
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillmere test CA" \
  -keyout ca.key -out ca.pem -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign"
quiet openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout trusted.key -out trusted.csr
printf '%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$san" >trusted.ext
quiet openssl x509 -req -in trusted.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile trusted.ext -out trusted.pem
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=localhost" \
  -keyout untrusted.key -out untrusted.pem -addext "$san"
openssl x509 -in ca.pem -outform DER -out ca.der

read -r trusted untrusted plain < <(python3 -c '
import socket
socks = [socket.socket() for _ in range(3)]
for s in socks: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in socks])')
echo "$trusted $untrusted $plain" >ports

cat >stunnel.conf <<CONF
foreground = no
pid = $dir/stunnel.pid
output = $dir/stunnel.log
debug = 4
[trusted]
accept = 127.0.0.1:$trusted
connect = 127.0.0.1:$plain
cert = $dir/trusted.pem
key = $dir/trusted.key
[untrusted]
accept = 127.0.0.1:$untrusted
connect = 127.0.0.1:$plain
cert = $dir/untrusted.pem
key = $dir/untrusted.key
CONF
stunnel4 stunnel.conf

for _ in $(seq 50); do
  if (exec 3<>/dev/tcp/127.0.0.1/"$trusted") 2>/dev/null &&
     (exec 3<>/dev/tcp/127.0.0.1/"$untrusted") 2>/dev/null; then
    break
  fi
  sleep 0.1
done

"$wine_run" "$trust_helper" "Z:${dir//\//\\}\\ca.der"
