#!/usr/bin/env bash
# Takes docs/first-steps.png: the main window after "Load Sample/Example Files" (the question
# answered No), on a virtual screen. Needs xvfb-run, xdotool and ImageMagick's import and convert.
# The settings of this run live in a throw-away folder, so the user's own stay untouched.
#
#     tools/make-first-steps-screenshot.sh [PROGRAM_FOLDER] [OUTPUT_FILE]
#
# PROGRAM_FOLDER (default build/bin) holds quorrix and its Samples folder; the list shows the sample
# paths below it.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(cd "${1:-build/bin}" && pwd)
out=$(realpath -m "${2:-docs/first-steps.png}")
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/session" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
bin=$1 out=$2 work=$3
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME"
"$bin/quorrix" >"$work/quorrix.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
win=$(xdotool search --sync --onlyvisible --name '^Quorrix$' | head -1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
# The centre of "Load Sample/Example Files": left 4080, top 3760, 3840 x 405 twips, 15 twips a pixel.
xdotool mousemove $((X + (4080 + 1920) / 15)) $((Y + (3760 + 202) / 15)) click 1
sleep 1.5
xdotool key Escape   # the question: No
sleep 1
xdotool mousemove 1010 760
sleep 1
import -window root "$work/screen.png"
convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
SESSION
chmod +x "$work/session"
xvfb-run -a -s "-screen 0 1024x768x24" "$work/session" "$bin" "$out" "$work"
echo "$out"
