#!/usr/bin/env bash
# Complete multi-threaded runs of a ThreadSanitizer build: 8 workers of 4 files through every
# phase, in several block sizes. A report ends the binary with a status of its own, which
# fails the script; so does a figure missing or a file left behind.
set -euo pipefail
binary=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export TSAN_OPTIONS="halt_on_error=1 exitcode=199 ${TSAN_OPTIONS:-}"

for block in 1 64 1024; do
  output=$("$binary" -path "$dir" -thread 8 -file_number 4 -file 4 -block "$block" -cache 0)
  results=$(grep -c ' Mo/s          $' <<<"$output" || true)
  if [[ $results -ne 4 ]]; then
    echo "block $block: $results result lines instead of 4" >&2
    exit 1
  fi
  if [[ -n $(ls -A "$dir") ]]; then
    echo "block $block: files left in $dir" >&2
    exit 1
  fi
  echo "ThreadSanitizer: 8 workers x 4 files, block $block KiB: clean"
done
