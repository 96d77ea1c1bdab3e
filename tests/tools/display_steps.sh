# Sourced by the display tests: small steps on a display that several of them take.
#   find_window PATTERN [TENTHS]   waits (default 10 s) for a visible window whose name matches
#                                  and prints its id; non-zero when none comes
#   pixel PNG X Y                  prints the red, green and blue of a pixel of a PNG
#   near_colour "R G B" "R G B" N  whether the two colours are within N codes in every channel
#   window_shot ID PNG             the window's client area as the screen shows it, into PNG: cut
#                                  from the framebuffer under a window manager (xwd of a framed
#                                  window is empty there), else xwd of the window
#   give_keyboard ID               the keyboard to the window: activated under a window manager,
#                                  given the focus without one
#   pick_in_chooser DIALOG PREFIX  in filterhost's colour dialog DIALOG (opened on the Sepia
#                                  colour, 159 128 102): "Color Picker...", red typed as 40 in
#                                  the colour chooser and OK; the dialog's swatch must then show
#                                  40 128 102. Uses the caller's click, shot and fail; the shots
#                                  are PREFIX"chooser.png" and PREFIX"chosen.png"
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

window_shot() {
  if [ -n "${wm_pid:-}" ]; then
    local x y w h
    read -r x y w h < <(xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4}
      /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
    ffmpeg -loglevel error -y -i "$xvfb_framebuffer" -vf "crop=$w:$h:$x:$y" -pix_fmt rgb24 "$2"
  else
    local dump
    dump=$(mktemp --suffix=.xwd)
    xwd -silent -id "$1" -out "$dump"
    ffmpeg -loglevel error -y -i "$dump" -pix_fmt rgb24 "$2"
    rm -f "$dump"
  fi
}

give_keyboard() {
  if [ -n "${wm_pid:-}" ]; then
    xdotool windowactivate --sync "$1" 2>/dev/null || true
  else
    xdotool windowfocus --sync "$1" 2>/dev/null || true
  fi
}

pixel() {
  ffmpeg -loglevel error -i "$1" -vf "crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - |
    od -An -tu1 | xargs
}

near_colour() {
  echo "$1 $2" | awk -v tolerance="$3" '{ for (c = 1; c <= 3; ++c) {
    e = $c - $(c + 3); if (e < 0) e = -e; if (e > tolerance) exit 1 } }'
}

# The colour dialog (8-point font) and filterhost's colour chooser, in client coordinates.
pick_in_chooser() {
  local define=$1 prefix=$2 chooser swatch
  click "$define" 165 137  # "Color Picker..."
  chooser=$(find_window '^Pick a color\.$') || fail "Color Picker... opened no colour chooser"
  sleep 0.5
  shot "$chooser" "${prefix}chooser.png"
  xdotool mousemove --window "$chooser" 281 70 click --repeat 2 1  # the red value
  xdotool key ctrl+a
  xdotool type 40
  xdotool key Tab
  click "$chooser" 172 231  # OK
  find_window '^Pick a color\.$' 5 >/dev/null && fail "the colour chooser stayed open after OK"
  shot "$define" "${prefix}chosen.png"
  # The swatch shows the colour through the working space, a few codes from the numbers typed.
  swatch=$(pixel "$shots/${prefix}chosen.png" 55 60)
  near_colour "$swatch" "40 128 102" 8 ||
    fail "the colour dialog shows $swatch, not the chosen 40 128 102"
}
