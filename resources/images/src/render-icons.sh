#!/usr/bin/env bash
# Renders the PNG icons of the resource bundle from their SVG sources.
#
#   resources/images/src/render-icons.sh            render every PNG
#   resources/images/src/render-icons.sh --sheet F  also write a contact sheet
#                                                   (24 px, on white and on
#                                                   #444444) to F
#
# The build does not run this: the PNGs are committed. Needs rsvg-convert
# (Debian librsvg2-bin); the contact sheet needs ImageMagick.
#
# The family: a 32-unit grid, strokes of 2.5 to 3 units with round ends,
# corners of radius 2 to 3, and one palette of mid-tone colours that keep
# about 3:1 contrast on white and on the dark theme's #444444:
#   blue #2F8FDD, green #14A37F, orange #F0862F, yellow #F5B942 (#D98E1F
#   behind), red #E0483E (#B8352D darker), slate #7F8C99 (#56626E darker),
#   details in white.
set -euo pipefail

src=$(cd "$(dirname "$0")" && pwd)
images=$(dirname "$src")
qss=$(dirname "$images")/qss

render() { # svg png width height
    rsvg-convert --width "$3" --height "$4" --keep-aspect-ratio -o "$2" "$1"
}

# Menu, tool and button icons: 32 px, shown at 16 to 26 px.
for name in icon_open icon_exit icon_settings icon_help icon_themes icon_save_dir \
            icon_play icon_stop icon_cutter icon_saveTo icon_save_play icon_delete \
            delete icon_warning icon_fwd icon_rew icon_about icon_property \
            icon_preview icon_save; do
    render "$src/$name.svg" "$images/$name.png" 32 32
done
render "$images/icon_pause.svg" "$images/icon_pause.png" 32 32

# The application mark: window icon and the larger copy.
render "$src/appicon.svg" "$images/appicon36.png" 36 36
render "$src/appicon.svg" "$images/icon_32bpp_48x48.png" 48 48
# Installed under hicolor for the desktop entry, beside the SVG itself and
# the 48 px copy above.
for size in 128 256; do
    render "$src/appicon.svg" "$(dirname "$images")/icons/snipwave-$size.png" $size $size
done

render "$src/icon_sliderHandle.svg" "$images/icon_sliderHandle.png" 16 16
render "$images/up.svg" "$images/up.png" 20 12
render "$images/down.svg" "$images/down.png" 20 12
render "$src/topimage.svg" "$images/topimage.png" 360 60

# Spin-box and drop-down arrows of the three theme sheets.
for theme in lightblue flatwhite psblack; do
    for name in add_top add_bottom; do
        render "$src/qss/$theme/$name.svg" "$qss/$theme/$name.png" 10 10
    done
done

if [ "${1:-}" = "--sheet" ] && [ -n "${2:-}" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    n=0
    for svg in "$src"/*.svg "$images"/*.svg "$qss"/*/*.svg; do
        [ "$(basename "$svg")" = topimage.svg ] && continue
        n=$((n + 1))
        render "$svg" "$work/$(printf %02d $n).png" 24 24
    done
    for bg in white '#444444'; do
        montage "$work"/[0-9]*.png -background "$bg" -geometry 24x24+6+6 \
            -tile 12x "$work/sheet-${bg#\#}.png"
    done
    convert "$work/sheet-white.png" "$work/sheet-444444.png" -append \
        -filter point -resize 200% "$2"
fi
