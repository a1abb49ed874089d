#!/bin/sh
# Makes the test certificate authority and the loopback server certificate that the
# tests trust (Node through NODE_EXTRA_CA_CERTS, Wine through its Root store).
# The files are committed; run this only to renew them.
set -e
cd "$(dirname "$0")"
openssl req -x509 -newkey rsa:2048 -nodes -days 7300 -subj "/CN=Quorlin Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout ca.key -out ca.pem
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout localhost.key -out localhost.csr
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' > ext.cnf
openssl x509 -req -in localhost.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 7000 -extfile ext.cnf -out localhost.pem
openssl x509 -in ca.pem -outform DER -out ca.der
rm -f localhost.csr ext.cnf ca.srl
