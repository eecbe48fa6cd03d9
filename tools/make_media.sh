#!/usr/bin/env bash
# Generates the test material: 20-second sine tones. MP3/MP2: CBR, no ID3 and no Xing/LAME
# info frame, so that every file loops cleanly. AAC-LC in ADTS frames, Ogg Vorbis and Ogg
# Opus with ARTIST and TITLE comments (ffmpeg), HE-AAC v1 and v2 (make_heaac.py), and a
# chained Ogg file (Vorbis, then Opus).
# Usage: make_media.sh DIR      (idempotent: existing files are kept)
# Name scheme: tone<FREQ>_<KBPS>k_<RATE>_<m|s>.<mp3|mp2|aac|ogg|opus>
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
  "1000 96 44100 s aac"
  "660 32 22050 m aac"
  "440 16 7350 m aac"
  "440 16 8000 m aac"
  "550 96 44100 s ogg"
  "1320 64 48000 s opus"
)
# Comments of the Ogg files (UTF-8), by frequency
ARTIST=Тиволна
declare -A TITLE=([550]="Ворбис 550" [1320]="Опус 1320" [770]="Первая часть" [990]="Вторая часть")

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
  if [ "$ext" = aac ] || [ "$ext" = ogg ] || [ "$ext" = opus ]; then
    local codec=(-c:a aac -f adts)
    [ "$ext" = ogg ] && codec=(-c:a libvorbis -f ogg -serial_offset 1000)
    [ "$ext" = opus ] && codec=(-c:a libopus -f ogg -serial_offset 2000)
    # -6 dBFS: the lavfi sine's amplitude is 1/8; the same on both sides
    local af=volume=4; [ "$ch" = 2 ] && af="$af,pan=stereo|c0=c0|c1=c0"
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=$freq:sample_rate=$rate:duration=$SECONDS_LEN" \
      -af "$af" -b:a "${kbps}k" -fflags +bitexact -flags:a +bitexact \
      -metadata ARTIST="$ARTIST" -metadata TITLE="${TITLE[$freq]:-}" "${codec[@]}" "$tmp"
  elif [ "$ext" = mp3 ]; then
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

# HE-AAC v1 (stereo core) and v2 (mono core with parametric stereo): AAC-LC at 22050 Hz with
# a minimal SBR (and PS) extension added to every frame by make_heaac.py.
make_he() {
  local version=$1 freq=$2 ch=$3 kbps=$4
  local out="$dir/he${version}_tone${freq}_44100_s.aac"
  [ -s "$out" ] && return 0
  local tmp
  tmp=$(mktemp -d "$dir/.he.XXXXXX")
  trap 'rm -rf "$tmp"' EXIT
  local af=volume=4; [ "$ch" = 2 ] && af="$af,pan=stereo|c0=c0|c1=c0"
  ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=$freq:sample_rate=22050:duration=$SECONDS_LEN" -af "$af" \
    -c:a aac -b:a "${kbps}k" -fflags +bitexact -flags:a +bitexact -f adts "$tmp/lc.aac"
  python3 "$(dirname "$0")/make_heaac.py" "$tmp/lc.aac" "$tmp/he.aac"
  chmod 644 "$tmp/he.aac"
  mv -f "$tmp/he.aac" "$out"
  rm -rf "$tmp"
  trap - EXIT
}

# Chained Ogg: a Vorbis stream and an Opus stream of ten seconds each, one after the other.
make_chain() {
  local out="$dir/chain770v_990o.ogg"
  [ -s "$out" ] && return 0
  local tmp
  tmp=$(mktemp -d "$dir/.chain.XXXXXX")
  trap 'rm -rf "$tmp"' EXIT
  ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=770:sample_rate=44100:duration=10" -af "volume=4,pan=stereo|c0=c0|c1=c0" \
    -c:a libvorbis -b:a 96k -fflags +bitexact -flags:a +bitexact -metadata ARTIST="$ARTIST" \
    -metadata TITLE="${TITLE[770]}" -f ogg -serial_offset 3000 "$tmp/a.ogg"
  ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=990:sample_rate=48000:duration=10" -af "volume=4,pan=stereo|c0=c0|c1=c0" \
    -c:a libopus -b:a 64k -fflags +bitexact -flags:a +bitexact -metadata ARTIST="$ARTIST" \
    -metadata TITLE="${TITLE[990]}" -f ogg -serial_offset 4000 "$tmp/b.ogg"
  cat "$tmp/a.ogg" "$tmp/b.ogg" > "$tmp/chain"
  chmod 644 "$tmp/chain"
  mv -f "$tmp/chain" "$out"
  rm -rf "$tmp"
  trap - EXIT
}

pids=()
( make_chain ) &
pids+=($!)
( make_he 1 1100 2 40 ) &
pids+=($!)
( make_he 2 825 1 24 ) &
pids+=($!)
for t in "${TONES[@]}"; do
  # shellcheck disable=SC2086
  ( make_one $t ) &
  pids+=($!)
done
rc=0
for p in "${pids[@]}"; do wait "$p" || rc=1; done
exit $rc
