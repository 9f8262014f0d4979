#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs all tests.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
exec bash "$root/tests/run_tests.sh"
