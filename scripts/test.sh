#!/usr/bin/env bash
# Installs what the tests need on a fresh Debian 12 machine and runs every test. The stages in
# scripts/test.d run in name order; each installs the packages it needs itself.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

start=$(date +%s)
# The roots of the other hosts are made (when missing or out of date) while this machine's build
# and tests run: making one is mostly waiting on the mirror. Their stages wait for them, and
# report a failure themselves.
source "$ROOT/scripts/lib/host_root.sh"
ensure_packages debootstrap
mkdir -p /var/cache/clackery
(for host in obs30 obs32; do ensure_root "$host" || true; done) >/var/cache/clackery/roots-ahead.log 2>&1 &
for stage in "$ROOT"/scripts/test.d/*.sh; do
	stage_start=$(date +%s)
	say "stage $(basename "$stage")"
	# shellcheck source=/dev/null
	source "$stage"
	echo "   ($(($(date +%s) - stage_start)) s)"
done
say "all tests passed in $(($(date +%s) - start)) s"
