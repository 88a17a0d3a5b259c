#!/usr/bin/env bash
# Complete multi-threaded runs of a ThreadSanitizer build: 8 workers of 4 files through every
# phase, in several block sizes. A report ends the binary with a status of its own, which
# fails the script; so does a figure missing or a file left behind.
set -euo pipefail
binaire=$1
dossier=$(mktemp -d)
trap 'rm -rf "$dossier"' EXIT
export TSAN_OPTIONS="halt_on_error=1 exitcode=199 ${TSAN_OPTIONS:-}"

for bloc in 1 64 1024; do
  sortie=$("$binaire" -path "$dossier" -thread 8 -file_number 4 -file 4 -block "$bloc" -cache 0)
  resultats=$(grep -c ' Mo/s          $' <<<"$sortie" || true)
  if [[ $resultats -ne 4 ]]; then
    echo "block $bloc: $resultats result lines instead of 4" >&2
    exit 1
  fi
  if [[ -n $(ls -A "$dossier") ]]; then
    echo "block $bloc: files left in $dossier" >&2
    exit 1
  fi
  echo "ThreadSanitizer: 8 workers x 4 files, block $bloc KiB: clean"
done
