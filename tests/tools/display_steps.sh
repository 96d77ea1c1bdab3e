# Sourced by the display tests: small steps on a display that several of them take.
#   find_window PATTERN [TENTHS]   waits (default 10 s) for a visible window whose name matches
#                                  and prints its id; non-zero when none comes
#   pixel PNG X Y                  prints the red, green and blue of a pixel of a PNG
find_window() {
  local id
  for _ in $(seq "${2:-100}"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

pixel() {
  ffmpeg -loglevel error -i "$1" -vf "crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - |
    od -An -tu1 | xargs
}

# Whether the colour "R G B" ($1) lies within $3 codes of "R G B" ($2) in every channel.
near_colour() {
  echo "$1 $2" | awk -v tolerance="$3" '{ for (c = 1; c <= 3; ++c) {
    e = $c - $(c + 3); if (e < 0) e = -e; if (e > tolerance) exit 1 } }'
}
