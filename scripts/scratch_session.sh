# Sourced by the scripts that run the suite outside ctest (the main job, the figures): builds
# everything, then gives the script a virtual display, a Wine template and a prefix of its own
# under build/NAME, all stopped and removed when the script exits.
# Usage: source scripts/scratch_session.sh NAME
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/build.sh >/dev/null
export ZELVO_SOURCE=$PWD ZELVO_BIN=$PWD/build/windows/bin ZELVO_TOOLS=$PWD/build/windows/test-tools \
  ZELVO_WINE_ROOT=$PWD/build/$1
bash tests/wine/session.sh start "$ZELVO_WINE_ROOT" >/dev/null
source tests/wine/lib.sh
new_prefix "$1"
trap 'remove_prefix; bash "$ZELVO_SOURCE/tests/wine/session.sh" stop "$ZELVO_WINE_ROOT" >/dev/null' EXIT

# window_picture TITLE OUT: the picture of the window TITLE, once it is visible and has drawn its
# controls: two captures of the screen in a row alike, the window whole (not smaller than its
# client area) and painted (text, icons and caption give many colours; a blank window one or
# two). The screen is black around the window: trimmed, the picture is the window itself; no
# text chunks (dates), so that the same window gives the same file. Fails, and writes nothing,
# when the window is not drawn within 20 s.
window_picture() {
  local title=$1 out=$2 deadline=$((SECONDS + 20)) width height capture last='' seen=''
  local shot=$out.capture.png
  if ! uidriver wait "$title" 15000 >/dev/null; then
    echo "window_picture: no window \"$title\" is visible" >&2
    return 1
  fi
  read -r width height < <(uidriver describe "$title" |
    sed -n '1s/.*|client \([0-9]*\) x \([0-9]*\)|.*/\1 \2/p')
  if [ -z "$height" ]; then
    echo "window_picture: \"$title\" has no client area" >&2
    return 1
  fi
  while [ "$SECONDS" -lt "$deadline" ]; do
    import -display "$DISPLAY" -window root png:- |
      convert - -trim +repage -strip "$shot" 2>/dev/null
    last=$seen
    seen=$(identify -format '%w %h %k %#' "$shot")
    read -r -a capture <<<"$seen"
    if [ "$seen" = "$last" ] && [ "${capture[0]}" -ge "$width" ] &&
      [ "${capture[1]}" -ge "$height" ] && [ "${capture[2]}" -ge 8 ]; then
      mv "$shot" "$out"
      return 0
    fi
    sleep 0.5
  done
  rm -f "$shot"
  echo "window_picture: \"$title\" was not drawn within 20 s (last capture: ${seen:-none}," \
    "width, height, colours, pixels' hash; its client area is $width x $height)" >&2
  return 1
}
