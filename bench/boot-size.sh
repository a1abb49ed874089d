#!/bin/sh
# Prints the size of Quorlin.exe with and without its carried application archive, and the
# DLLs and functions it imports.  Usage: bench/boot-size.sh EXE ARCHIVE
set -eu
exe=$1
archive=$2
exe_bytes=$(stat -c %s "$exe")
archive_bytes=$(stat -c %s "$archive")
echo "Quorlin.exe:               $exe_bytes bytes"
echo "carried archive:           $archive_bytes bytes"
echo "without the archive:       $((exe_bytes - archive_bytes)) bytes (within the 512-byte file alignment)"
echo "imports:"
x86_64-w64-mingw32-objdump -p "$exe" | awk '
  /DLL Name:/ { dll = $3; count[dll] = 0; order[++n] = dll; next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { count[dll]++; names[dll] = names[dll] " " $NF }
  END { for (i = 1; i <= n; i++) printf "  %-14s %3d:%s\n", order[i], count[order[i]], names[order[i]] }'
