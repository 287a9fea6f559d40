#!/usr/bin/env bash
# Loopback TLS peers for the Windows request tests.
#   tls-fixture.sh start <dir> <wine-run> <trust-helper.exe>
#   tls-fixture.sh stop <dir>
# `start` makes a throwaway CA with a certificate for localhost and, apart from it, a
# self-signed certificate that nothing trusts; puts stunnel listeners in front of them, all
# forwarding to a plain port that the test program serves: one per certificate, and two more
# with the trusted certificate that speak TLS 1.2 only and TLS 1.0 only; and adds the CA to
# the machine root store of the build's Wine prefix only. The ports go to <dir>/ports as
# "trusted untrusted plain tls1.2-only tls1.0-only".
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

read -r trusted untrusted plain tls12 tls10 < <(python3 -c '
import socket
socks = [socket.socket() for _ in range(5)]
for s in socks: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in socks])')
echo "$trusted $untrusted $plain $tls12 $tls10" >ports

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
[tls12]
accept = 127.0.0.1:$tls12
connect = 127.0.0.1:$plain
cert = $dir/trusted.pem
key = $dir/trusted.key
sslVersionMin = TLSv1.2
sslVersionMax = TLSv1.2
; OpenSSL 3 signs a TLS 1.0 handshake only at security level 0, so Debian's default level 2
; cannot serve TLS 1.0 at all: this one peer is lowered on purpose, to stand for an old server.
[tls10]
accept = 127.0.0.1:$tls10
connect = 127.0.0.1:$plain
cert = $dir/trusted.pem
key = $dir/trusted.key
sslVersionMin = TLSv1
sslVersionMax = TLSv1
securityLevel = 0
CONF
stunnel4 stunnel.conf

listening() {
  local port
  for port in "$@"; do (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null || return 1; done
}
for _ in $(seq 50); do
  if listening "$trusted" "$untrusted" "$tls12" "$tls10"; then break; fi
  sleep 0.1
done

# The limited peers must offer exactly what they stand for, or the tests that rely on them
# would pass for another reason: a handshake at the named version is made with a verified
# certificate, one above or below it is not. (s_client fails either way once the plain port
# behind the peer turns it away, so its report is read, not its exit code.)
negotiated() {  # port, then s_client's protocol options: the version agreed, empty when none
  local port=$1; shift
  openssl s_client -connect 127.0.0.1:"$port" -servername localhost -CAfile ca.pem "$@" \
    </dev/null 2>/dev/null | awk '/^New, TLSv/ {sub(",", "", $2); version = $2}
      /Verify return code: 0 \(ok\)/ {ok = 1} END {if (ok) print version}'
}
expect() {  # port, wanted version or "none", s_client's options
  local port=$1 wanted=$2 got; shift 2
  got=$(negotiated "$port" "$@" || true)
  [ "${got:-none}" = "$wanted" ] || {
    echo "tls-fixture: port $port with $* agreed on ${got:-nothing}, not $wanted" >&2; exit 1; }
}
legacy="-cipher DEFAULT:@SECLEVEL=0"
expect "$tls12" TLSv1.2 -tls1_2
expect "$tls12" none -tls1_1 $legacy
expect "$tls12" none -tls1_3
expect "$tls10" TLSv1.0 -tls1 $legacy
expect "$tls10" none -tls1_1 $legacy
expect "$tls10" none -tls1_2

"$wine_run" "$trust_helper" "Z:${dir//\//\\}\\ca.der"
