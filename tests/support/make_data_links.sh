#!/bin/sh
# Makes the links of the data-walk test under <folder>/ゆうき for the Windows build under Wine:
# a Windows program cannot make links there, but Wine shows the Unix links as reparse points,
# as Windows shows junctions. Keep the list equal to make_links in tests/core/data_walks_test.cpp.
set -eu
user="$1/ゆうき"
rm -rf "$1"
link() {
	mkdir -p "$(dirname "$user/$1")"
	ln -s "$2" "$user/$1"
}
link data/skin/linked_skin ../../outside/skin
link data/skin/config_out/config.json ../../../outside/skin/config.json
link data/sounds/linked_pack ../../outside/pack
link data/sounds/normal_out/normal.wav ../../../outside/pack/normal.wav
link data/layouts/outside.json ../../outside/layout.json
link data/shortcuts/linked.json ../../outside/sheet.json
