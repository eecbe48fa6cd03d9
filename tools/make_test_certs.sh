#!/usr/bin/env bash
# Makes the certificates of the TLS tests in DIR (idempotent): a test root CA and, signed by
# it, localhost.pem (valid for "localhost"), otherhost.pem (valid, but for another name) and
# expired.pem (for "localhost", out of date), clientauth.pem (for "localhost", but its extended
# key usage names only TLS clients) and keyusage.pem (for "localhost", its key usage only
# signs CRLs); rogue.pem is for "localhost" from an unknown CA. Every leaf uses localhost.key.
# Nothing is installed anywhere.
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
[ -f done-2 ] && exit 0
rm -f done
key() { openssl genrsa -out "$1" 2048 2>/dev/null; }
ca() {  # name, common name
  key "$1.key"
  openssl req -x509 -new -key "$1.key" -out "$1.pem" -days 3650 -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:true" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
leaf() {  # out, ca, dns name, days[, extension lines]
  printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:false\n%b\n' "$3" "${5:-extendedKeyUsage=serverAuth}" > "$1.ext"
  openssl req -new -key localhost.key -subj "/CN=$3" -out "$1.csr" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days "$4" \
    -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
ca ca "Tivolna Test Root"
ca rogue-ca "Unknown Test Root"
key localhost.key
leaf localhost ca localhost 30
leaf otherhost ca otherhost.example 30
leaf expired ca localhost -1
leaf rogue rogue-ca localhost 30
leaf clientauth ca localhost 30 'extendedKeyUsage=clientAuth'
leaf keyusage ca localhost 30 'keyUsage=critical,cRLSign\nextendedKeyUsage=serverAuth'
openssl x509 -in ca.pem -outform der -out ca.der
touch done-2
