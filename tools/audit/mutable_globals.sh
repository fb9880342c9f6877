#!/bin/sh
# Module-wide mutable variables of our own code: objects (namespace scope or function-static)
# that the compiler placed in writable data (.data, .bss, not .data.rel.ro), in the objects of
# the src/ libraries of a build folder. Guard variables of function statics are not counted.
# Usage: mutable_globals.sh BUILD_DIR [--list]
build=${1:-build}
find "$build/src" -name '*.o' | sort | while read -r obj; do
	objdump -t -C "$obj" | awk -v obj="${obj#$build/src/}" '
		$0 ~ / O / && ($0 ~ /[ \t]\.bss/ || $0 ~ /[ \t]\.data[ .]/ || $0 ~ /[ \t]\.data\t/) && $0 !~ /\.data\.rel\.ro/ && $0 !~ /guard variable/ && $0 !~ /DW\.ref\./ && $0 !~ /\.tbss|\.tdata/ {
			sub(/.*[ \t]\.(bss|data)[^ \t]*[ \t]+[0-9a-f]+[ \t]+/, ""); print obj ": " $0 }'
done | sort -u > /tmp/mutable_globals.$$
if [ "$2" = "--list" ]; then cat /tmp/mutable_globals.$$; fi
echo "$(wc -l < /tmp/mutable_globals.$$) mutable module-wide objects in $(cut -d: -f1 /tmp/mutable_globals.$$ | sort -u | wc -l) files"
rm -f /tmp/mutable_globals.$$
