#!/usr/bin/env bash
# The OSC packet fuzzer alone, for a bounded time (default 60 s).
# Usage: scripts/fuzz-osc.sh [seconds] [build-folder]
# Exits non-zero when the fuzzer finds a crash, a leak or undefined behaviour; the
# failing input is left in the build folder. scripts/fuzz.sh runs every target.
set -euo pipefail
exec "$(dirname "$0")/fuzz.sh" "${1:-60}" "${2:-$(cd "$(dirname "$0")/.." && pwd)/build-fuzz}" osc_packet
