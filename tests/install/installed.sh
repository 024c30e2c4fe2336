#!/usr/bin/env bash
# The build installed under /usr in a temporary DESTDIR: the programs find their picture
# libraries in share/quillmark from bin/, answer --help and --version without a display,
# and the desktop entry and metainfo pass their validators.
set -uo pipefail
build=$1 source=$2 version=$3 app=$4 id=$5
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# expect STATUS EXPECTED-OUTPUT COMMAND...: the exit status and stdout+stderr (a
# pattern, matched whole) of a command run without a display.
expect() {
  local status=$1 pattern=$2 out
  shift 2
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" 2>&1)
  local got=$?
  [[ $got == "$status" && $out == $pattern ]] || fail "$* -> $got '$out', expected $status '$pattern'"
}

DESTDIR=$tmp/root cmake --install "$build" --prefix /usr >/dev/null || { echo "install failed"; exit 1; }
usr=$tmp/root/usr share=$tmp/root/usr/share/quillmark cli=$tmp/root/usr/bin/quillmark-cli

# The libraries arrive unchanged, the man pages and changelog as valid gzip files.
for folder in background foreground frame mask; do
  diff -r "$source/library/$folder" "$share/$folder" >/dev/null || fail "share/quillmark/$folder differs"
done
for page in quillmark-cli $([[ $app == 1 ]] && echo quillmark quillmark-player); do
  gzip -t "$usr/share/man/man1/$page.1.gz" || fail "man page $page"
done
gzip -t "$usr/share/doc/quillmark/changelog.gz" && [[ -s $usr/share/doc/quillmark/copyright ]] ||
  fail "changelog or copyright"

# The installed CLI: its version; info agrees with the PNG header convert writes; compose
# reads library mask 1 from share/quillmark, and names the file there when it is gone.
expect 0 "quillmark-cli $version" "$cli" --version
expect 0 "300 225" "$cli" info "$share/mask/m1.jpg"
expect 0 "" "$cli" convert "$share/mask/m1.jpg" "$tmp/m1.png"
[[ $(od -An -tu1 -j16 -N8 "$tmp/m1.png" | tr -s ' ') == " 0 0 1 44 0 0 0 225" ]] || fail "m1.png header"
for mask in 0 1; do
  printf '{"background": {"width": 64, "height": 48}, "layers": [{"file": "%s", "mask": %d}]}' \
    "$share/foreground/camera.jpg" $mask >"$tmp/scene$mask.json"
  expect 0 "" "$cli" compose "$tmp/scene$mask.json" "$tmp/scene$mask.png"
done
expect 0 "64 48" "$cli" info "$tmp/scene1.png"
cmp -s "$tmp/scene0.png" "$tmp/scene1.png" && fail "mask 1 changed nothing in the composed scene"
mv "$share/mask" "$tmp/mask"
expect 2 "*/usr/share/quillmark/mask/m1.jpg is not a valid format" "$cli" compose "$tmp/scene1.json" "$tmp/no.png"
[[ -e $tmp/no.png ]] && fail "a failed compose left its output"
mv "$tmp/mask" "$share/mask"

if [[ $app == 1 ]]; then
  for program in quillmark quillmark-player; do
    expect 0 "$program $version" "$usr/bin/$program" --version
    expect 0 "Usage: $program *" "$usr/bin/$program" --help
    expect 1 "$program: unknown option '--bogus' (see $program --help)" "$usr/bin/$program" --bogus
    expect 1 "$program: option '-style' needs a value" "$usr/bin/$program" -style
    expect 1 "$program: no display to show the window on *" "$usr/bin/$program" -reverse
  done
  expect 1 "quillmark-player: unexpected argument 'x.album'" "$usr/bin/quillmark-player" x.album
  desktop-file-validate "$usr/share/applications/$id.desktop" || fail "desktop entry"
  appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >/dev/null ||
    fail "metainfo"
  for size in 16 32 48 64 128 256; do
    [[ -s $usr/share/icons/hicolor/${size}x$size/apps/$id.png ]] || fail "icon $size"
  done
  [[ -s $usr/share/icons/hicolor/scalable/apps/$id.svg && -s $share/manual.html ]] ||
    fail "scalable icon or manual"
fi
echo "$failures failed"
((failures == 0))
