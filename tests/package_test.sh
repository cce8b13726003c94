#!/usr/bin/env bash
# The Debian package, made by CPack from the tree already built (no second
# build): its control fields and files; the programs extracted from it run,
# and the stripped capture tool draws a frame as the golden frames hold it;
# every option of --help is in the manual page and completes in bash, and
# the pages name no option --help lacks; the desktop entry and metainfo
# validate (where the validators are installed).
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request, capture_levels.
set -u
BUILD=$(cd "$(dirname "$1")" && pwd)
LEVELS=$(realpath "$4")
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/e2e_lib.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
VERSION=$(sed -n 's/^project(quiet_harbor VERSION \([0-9.]*\).*/\1/p' "$HERE/../CMakeLists.txt")
DEB=$WORK/cpack/quiet-harbor_${VERSION}_$(dpkg --print-architecture).deb

if ! cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/cpack" >"$WORK/cpack.log" 2>&1; then
  cat "$WORK/cpack.log"
  echo "FAILED: cpack"
  exit 1
fi
check "the package is named quiet-harbor_<version>_<arch>.deb" test -f "$DEB"

# ---- Control fields ----
field() { dpkg-deb -f "$DEB" "$1"; }
check "Package, Version, Section" test "$(field Package) $(field Version) $(field Section)" = "quiet-harbor $VERSION games"
check "Maintainer has a name and an address" grep -qE '^[^<]+ <[^@ ]+@[^> ]+>$' <<<"$(field Maintainer)"
check "Recommends ffmpeg and the captions' font" grep -q "ffmpeg, fonts-liberation2" <<<"$(field Recommends)"
depends=$(field Depends)
echo "Depends: $depends"
for library in libgl1 libopengl0 libegl1 libglu1-mesa libsdl1.2 libpng16; do
  check "Depends holds $library" grep -q "$library" <<<"$depends"
done

# ---- Files ----
dpkg-deb -c "$DEB" | awk '{ print $NF }' | sed 's|^\./|/|' >"$WORK/files"
for file in /usr/bin/quiet-harbor /usr/bin/quiet-harbor-capture \
            /usr/share/man/man6/quiet-harbor.6.gz /usr/share/man/man1/quiet-harbor-capture.1.gz \
            /usr/share/applications/quiet-harbor.desktop /usr/share/metainfo/org.example.quiet_harbor.metainfo.xml \
            /usr/share/bash-completion/completions/quiet-harbor \
            /usr/share/bash-completion/completions/quiet-harbor-capture \
            /usr/share/doc/quiet-harbor/README.md /usr/share/doc/quiet-harbor/copyright \
            /usr/share/doc/quiet-harbor/changelog.gz; do
  check "holds $file" grep -qx "$file" "$WORK/files"
done
dpkg-deb -x "$DEB" "$WORK/root"
USR=$WORK/root/usr
# Width and height from a PNG's header.
png_size() {
  local header
  header=$(od -An -tx1 -j16 -N8 "$1" 2>/dev/null | tr -d ' \n')
  [ ${#header} -eq 16 ] && echo "$((16#${header:0:8})) x $((16#${header:8:8}))"
}
for size in 48 64 128 256; do
  icon=$USR/share/icons/hicolor/${size}x$size/apps/quiet-harbor.png
  check "a ${size} x ${size} icon" test "$(png_size "$icon")" = "$size x $size"
done

# ---- The extracted programs ----
for program in quiet-harbor quiet-harbor-capture; do
  check "$program --version" test "$("$USR/bin/$program" --version)" = "$program $VERSION"
  "$USR/bin/$program" --help >"$WORK/$program.help"
  check "$program --help exits 0" test $? -eq 0
done
# Frame 48 of the golden 1 fps capture, drawn alone by the stripped tool.
"$USR/bin/quiet-harbor-capture" --at 48 --fps 1 --out "$WORK/frame.png" --stats --quiet 2>"$WORK/stats"
check "the extracted capture tool saves one frame" test -s "$WORK/frame.png"
renderer=$(sed -n 's/^quiet-harbor-capture: renderer //p' "$WORK/stats")
slug=$(printf '%s' "$renderer" | tr 'A-Z' 'a-z' | sed 's/[^a-z0-9.]\{1,\}/-/g; s/^-//; s/-$//')
golden=$HERE/data/golden_frames/${QH_ARCH:-$(dpkg --print-architecture)}_$slug.txt
if [ -f "$golden" ]; then
  got=$(cd "$WORK" && "$LEVELS" hashes frame.png | awk '{ print $2 }')
  check "the frame is the golden frame 48" test "$got" = "$(awk '$1 == "frame_00048.png" { print $2 }' "$golden")"
else
  echo "skipped: no golden frames for $renderer on this architecture"
fi

# ---- Manual pages and completion against --help ----
# Long options in a text, and in a manual page's OPTIONS section (roff
# spells them "\-\-name").
help_options() { grep -oE -- '--[a-z]+(-[a-z]+)*' "$1" | sort -u; }
page_options() {
  zcat "$1" | sed -n '/^\.SH OPTIONS/,/^\.SH [^O]/p' | grep -oE -- '\\-\\-[a-z]+(\\-[a-z]+)*' | tr -d '\\' | sort -u
}
# What bash offers after the words given, with the package's completion.
completions() {
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift &&
    COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
    function=$(complete -p "$1" | sed "s/.*-F \([^ ]*\) .*/\1/") &&
    "$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" &&
    printf "%s\n" "${COMPREPLY[@]}"' _ "$USR/share/bash-completion/completions/$1" "$@" | sort -u
}
for page in man6/quiet-harbor.6 man1/quiet-harbor-capture.1; do
  program=$(basename "${page%.*}")
  help_options "$WORK/$program.help" >"$WORK/$program.options"
  page_options "$USR/share/man/$page.gz" >"$WORK/$program.page"
  check "$program: the manual page's OPTIONS hold every option of --help, and no other" \
    diff "$WORK/$program.options" "$WORK/$program.page"
  check "$program: the manual page formats without warnings" \
    test -z "$(zcat "$USR/share/man/$page.gz" | groff -man -Tutf8 -ww -z 2>&1)"
  completions "$program" -- >"$WORK/$program.completed"
  check "$program: bash completes every option of --help, and no other" \
    diff "$WORK/$program.options" "$WORK/$program.completed"
done
mkdir "$WORK/videos" && touch "$WORK/videos/a.mp4" "$WORK/videos/b.png"
check "bash completes --video with video files" \
  test "$(completions quiet-harbor-capture --video "$WORK/videos/")" = "$WORK/videos/a.mp4"

# ---- Desktop entry and metainfo ----
if command -v desktop-file-validate >/dev/null; then
  check "the desktop entry validates" desktop-file-validate "$USR/share/applications/quiet-harbor.desktop"
else
  echo "skipped: desktop-file-validate is not installed (desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
  check "the metainfo validates" appstreamcli validate --no-net "$USR/share/metainfo/org.example.quiet_harbor.metainfo.xml"
else
  echo "skipped: appstreamcli is not installed (appstream)"
fi

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
