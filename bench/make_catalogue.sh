#!/usr/bin/env bash
# A catalogue of stations with 400 x 400 logos (60 % JPEG, 30 % PNG, 10 % GIF) and a favourites
# list, for the grid benchmark: make_catalogue.sh <folder> [stations, default 1000]. Ten
# pictures of each kind, copied under the numbers.
set -euo pipefail
out=$1
count=${2:-1000}
[ -f "$out/.complete-$count" ] && exit 0
rm -rf "$out"; mkdir -p "$out/Stations" "$out/src"
for i in $(seq 0 9); do
  hue=$((i * 36))
  convert -size 400x400 "radial-gradient:hsl($hue,80%,60%)-hsl($((hue + 40)),70%,25%)" \
    -fill white -draw "circle 200,200 200,$((60 + i * 8))" -fill "hsl($hue,60%,40%)" \
    -draw "rectangle 40,300 360,360" "$out/src/$i.ppm"
  convert "$out/src/$i.ppm" -quality 88 "$out/src/$i.jpg"
  convert "$out/src/$i.ppm" -alpha set -channel A -fx "hypot(i-200,j-200)<200?1:0" +channel "PNG32:$out/src/$i.png"
  convert "$out/src/$i.ppm" -colors 128 "$out/src/$i.gif"
done
for n in $(seq 1 "$count"); do
  if [ $((n * 10)) -le $((count * 6)) ]; then ext=jpg; elif [ $((n * 10)) -le $((count * 9)) ]; then ext=png; else ext=gif; fi
  cp "$out/src/$((n % 10)).$ext" "$out/Stations/$n.$ext"
  printf 'http://127.0.0.1:9/%d\r\nStation %d\r\n' "$n" "$n" > "$out/Stations/play$n.txt"
done
for n in $(seq 1 40); do printf '%d\r\n' $(( (n * 7 - 1) % count + 1 )); done > "$out/favs.txt"
rm -rf "$out/src"
touch "$out/.complete-$count"
