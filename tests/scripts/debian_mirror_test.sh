#!/usr/bin/env bash
# The mirror a root is made from, read from apt's sources in either format, as a fresh Debian 12
# machine may have them: deb822 from images and containers, one-line from the installer and
# debootstrap. The security archive never counts as the mirror.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/host_root.sh"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

# Arguments: case name, expected "URI FILE" (or "" for none); apt's folder is $dir/etc.
expect() {
	local got
	got=$(debian_mirror "$dir/etc") || got=
	if [ "$got" != "$2" ]; then
		echo "FAIL $1: got '$got', want '$2'"
		failures=$((failures + 1))
	fi
	rm -rf "${dir:?}/etc"
}
sources() { mkdir -p "$dir/etc/sources.list.d"; cat >"$dir/etc/$1"; }

# Security first in the file: the next stanza is the mirror.
sources sources.list.d/debian.sources <<'S'
Types: deb
URIs: http://security.debian.org/debian-security
Suites: bookworm-security
Components: main

# a comment
Types: deb deb-src
URIs: https://mirror.example/debian
Suites: bookworm bookworm-updates
Components: main
S
expect "deb822" "https://mirror.example/debian $dir/etc/sources.list.d/debian.sources"

# What debootstrap and the installer write: options in brackets, a commented line, CD-ROM.
sources sources.list <<'S'
# deb http://commented.example/debian bookworm main
deb cdrom:[Debian GNU/Linux 12]/ bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.example/debian bookworm main
deb http://deb.example/debian-security bookworm-security main
S
expect "one-line" "http://deb.example/debian $dir/etc/sources.list"

sources sources.list <<'S'
deb http://security.debian.org/debian-security bookworm-security main
S
expect "only security" ""
mkdir -p "$dir/etc"
expect "no sources at all" ""

[ "$failures" -eq 0 ] && echo "all mirror cases pass"
exit "$failures"
