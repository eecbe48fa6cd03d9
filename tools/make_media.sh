#!/usr/bin/env bash
# Generates the MP3/MP2 test material: 20-second sine tones, CBR, no ID3 and no
# Xing/LAME info frame, so that every file loops cleanly.
# Usage: make_media.sh DIR      (idempotent: existing files are kept)
# Name scheme: tone<FREQ>_<KBPS>k_<RATE>_<m|s>.<mp3|mp2>
set -euo pipefail

dir=${1:?usage: make_media.sh DIR}
mkdir -p "$dir"

SECONDS_LEN=20
GAIN=-6   # dBFS of the sine peak

# freq kbps rate mode(m|s) ext
TONES=(
  "440 128 44100 s mp3"
  "880 128 44100 s mp3"
  "1320 128 44100 s mp3"
  "1760 128 44100 s mp3"
  "1000 32 22050 m mp3"
  "660 320 48000 s mp3"
  "550 64 24000 s mp3"
  "440 8 8000 m mp3"
  "770 192 44100 s mp2"
)

make_one() {
  local freq=$1 kbps=$2 rate=$3 mode=$4 ext=$5
  local name="tone${freq}_${kbps}k_${rate}_${mode}.${ext}"
  local out="$dir/$name"
  [ -s "$out" ] && return 0
  local ch=2; [ "$mode" = m ] && ch=1
  local tmp
  tmp=$(mktemp "$dir/.${name}.XXXXXX")
  # runs in its own background subshell: drop the temp file on any exit path
  trap 'rm -f "$tmp"' EXIT
  if [ "$ext" = mp3 ]; then
    local lmode=j; [ "$mode" = m ] && lmode=m
    sox -V1 -n -r "$rate" -c "$ch" -b 16 -t wav - synth "$SECONDS_LEN" sine "$freq" gain "$GAIN" \
      | lame --quiet -t --cbr -b "$kbps" -m "$lmode" --resample "$(awk "BEGIN{print $rate/1000}")" - "$tmp"
  else
    if ! command -v twolame >/dev/null 2>&1; then
      echo "make_media: twolame not installed, skipping $name" >&2
      rm -f "$tmp"
      return 0
    fi
    local tmode=j; [ "$mode" = m ] && tmode=m
    sox -V1 -n -r "$rate" -c "$ch" -b 16 -e signed -t raw -L - synth "$SECONDS_LEN" sine "$freq" gain "$GAIN" \
      | twolame --quiet -r -s "$rate" -N "$ch" -b "$kbps" -m "$tmode" - "$tmp"
  fi
  chmod 644 "$tmp"
  mv -f "$tmp" "$out"
  trap - EXIT
}

pids=()
for t in "${TONES[@]}"; do
  # shellcheck disable=SC2086
  ( make_one $t ) &
  pids+=($!)
done
rc=0
for p in "${pids[@]}"; do wait "$p" || rc=1; done
exit $rc
