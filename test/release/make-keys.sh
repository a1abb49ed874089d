#!/bin/sh
# Makes throwaway release keys in DIR (made if missing), as a maintainer's would be made:
#   signing.pem    the Ed25519 private key that signs update manifests
#   root.pem       a certificate authority standing in for a public one
#   codesign.pem   a code-signing certificate under it, followed by the intermediate that issued it
#   codesign.key   that certificate's private key
# Usage: make-keys.sh DIR
set -e
mkdir -p "$1"
cd "$1"
openssl genpkey -algorithm ed25519 -out signing.pem 2>/dev/null
printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n' > ca.cnf
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Quorlin Test Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout root.key -out root.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Quorlin Test Intermediate" -keyout inter.key -out inter.csr 2>/dev/null
openssl x509 -req -in inter.csr -CA root.pem -CAkey root.key -CAcreateserial -days 3650 -extfile ca.cnf \
  -out inter.pem 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > leaf.cnf
openssl req -newkey rsa:2048 -nodes -subj "/CN=Quorlin Test Publisher/O=Quorlin" -keyout codesign.key -out leaf.csr 2>/dev/null
openssl x509 -req -in leaf.csr -CA inter.pem -CAkey inter.key -CAcreateserial -days 3650 -extfile leaf.cnf \
  -out leaf.pem 2>/dev/null
cat leaf.pem inter.pem > codesign.pem
rm -f ca.cnf leaf.cnf *.csr *.srl root.key inter.key inter.pem leaf.pem
