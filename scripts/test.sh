#!/usr/bin/env bash
# Installs what the tests need on a fresh Debian 12 machine and runs every test. The stages in
# scripts/test.d run in name order; each installs the packages it needs itself.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

start=$(date +%s)
for stage in "$ROOT"/scripts/test.d/*.sh; do
	stage_start=$(date +%s)
	say "stage $(basename "$stage")"
	# shellcheck source=/dev/null
	source "$stage"
	echo "   ($(($(date +%s) - stage_start)) s)"
done
say "all tests passed in $(($(date +%s) - start)) s"
