#!/usr/bin/env python3
"""Writes the program's icon set as SVG files next to this script.

All icons share one palette and one outline style (dark slate, round joins), so they are drawn from
the small building blocks below rather than by hand one by one. Run it again after changing a shape;
the SVG files it writes are what the build packs into the resource file.
"""

import colorsys
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# The one palette.
INK = "#2e4a57"
PAPER = "#ffffff"
PAPER2 = "#e9f0f6"
LINE = "#8fa6b6"
BLUE = "#3b78c2"
BLUE_D = "#285a98"
BLUE_L = "#a9c8ec"
TEAL = "#2a8c88"
TEAL_D = "#1d6764"
WINE = "#a8455a"
WINE_D = "#7e3142"
YEL = "#f4c542"
YEL_D = "#d99a1e"
GREEN = "#3f9e4f"
RED = "#d93a2b"
RED_D = "#a3261b"
GOLD = "#e0a82e"
GOLD_D = "#a8761a"
SILVER = "#c5d0d9"
GREY = "#7d8a96"

STROKE = f'stroke="{INK}" stroke-width="1" stroke-linejoin="round" stroke-linecap="round"'


def svg(width, height, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}">\n{body}</svg>\n')


def write(name, text):
    with open(os.path.join(HERE, name), "w", encoding="utf-8") as out:
        out.write(text)


def muted(text):
    """The same drawing in quieter colours: the toolbar's resting state; the hot state is full colour."""
    def mute(hex_colour):
        r, g, b = (int(hex_colour[i:i + 2], 16) / 255 for i in (1, 3, 5))
        h, l, s = colorsys.rgb_to_hls(r, g, b)
        r, g, b = colorsys.hls_to_rgb(h, min(1.0, l * 0.92 + 0.08), s * 0.55)
        return "#%02x%02x%02x" % (round(r * 255), round(g * 255), round(b * 255))

    for colour in (BLUE, BLUE_D, BLUE_L, YEL, YEL_D, GREEN, RED, RED_D, TEAL, GOLD):
        text = text.replace(f'"{colour}"', f'"{mute(colour)}"')
    return text


# ---- building blocks (coordinates are the icon's own pixels) ----

def folder(x, y, w, h, back=YEL_D, front=YEL):
    tab = min(5.0, w * 0.4)
    return (f'<path d="M{x} {y + h} V{y + 1} a1 1 0 0 1 1 -1 H{x + tab} l1.5 1.5 H{x + w - 1} '
            f'a1 1 0 0 1 1 1 V{y + h} z" fill="{back}" {STROKE}/>\n'
            f'<path d="M{x} {y + 4} H{x + w} V{y + h - 1} a1 1 0 0 1 -1 1 H{x + 1} a1 1 0 0 1 -1 -1 z" '
            f'fill="{front}" {STROKE}/>\n')


def page(x, y, w, h, fold=3, fill=PAPER):
    return (f'<path d="M{x} {y} h{w - fold} l{fold} {fold} v{h - fold} h-{w} z" fill="{fill}" {STROKE}/>\n'
            f'<path d="M{x + w - fold} {y} v{fold} h{fold}" fill="{PAPER2}" {STROKE}/>\n')


def lines(x1, x2, ys, colour=LINE, width=1):
    return "".join(f'<path d="M{x1} {y} H{x2}" stroke="{colour}" stroke-width="{width}" '
                   f'stroke-linecap="round"/>\n' for y in ys)


def binder(x, y, w, h, cover, spine):
    rings = "".join(f'<rect x="{x + 0.5}" y="{y + r}" width="3" height="1.4" rx="0.7" fill="{SILVER}" '
                    f'stroke="{INK}" stroke-width="0.6"/>\n' for r in (h * 0.22, h * 0.5 - 0.7, h * 0.78 - 1.4))
    return (f'<rect x="{x + w - 1.5}" y="{y + 1}" width="2" height="{h - 2}" fill="{PAPER}" {STROKE}/>\n'
            f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="1" fill="{cover}" {STROKE}/>\n'
            f'<path d="M{x + 2.5} {y + 0.5} V{y + h - 0.5}" stroke="{spine}" stroke-width="1"/>\n' + rings)


def plus_badge(cx, cy, r=3.5):
    arm = r - 1.2
    return (f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="{GREEN}" stroke="{INK}" stroke-width="0.8"/>\n'
            f'<path d="M{cx - arm} {cy} H{cx + arm} M{cx} {cy - arm} V{cy + arm}" stroke="{PAPER}" '
            f'stroke-width="1.3" stroke-linecap="round"/>\n')


def important_badge(cx=15.5, cy=15.5):
    # The "重要" mark: a red disc with a white exclamation mark.
    return (f'<circle cx="{cx}" cy="{cy}" r="4" fill="{RED}" stroke="{PAPER}" stroke-width="1"/>\n'
            f'<path d="M{cx} {cy - 2.4} V{cy + 0.6}" stroke="{PAPER}" stroke-width="1.6" stroke-linecap="round"/>\n'
            f'<circle cx="{cx}" cy="{cy + 2.3}" r="0.85" fill="{PAPER}"/>\n')


def key(transform, bow, shaft):
    return (f'<g transform="{transform}">\n'
            f'<path d="M2.6 -0.9 H11.5 V2.4 H10 V0.9 H8.8 V2.1 H7.3 V0.9 H2.6 z" fill="{shaft}" {STROKE}/>\n'
            f'<circle cx="0" cy="0" r="3.2" fill="{bow}" {STROKE}/>\n'
            f'<circle cx="-0.9" cy="0" r="1" fill="{PAPER}" stroke="{INK}" stroke-width="0.7"/>\n'
            f'</g>\n')


def arrow_up(cx, top, bottom, fill):
    return (f'<path d="M{cx} {top} L{cx + 5.5} {top + 5.5} H{cx + 2.5} V{bottom} H{cx - 2.5} V{top + 5.5} '
            f'H{cx - 5.5} z" fill="{fill}" {STROKE}/>\n')


def padlock(x, y, w, h, body=GOLD):
    shackle_w = w * 0.6
    sx = x + (w - shackle_w) / 2
    return (f'<path d="M{sx} {y} v-{h * 0.35} a{shackle_w / 2} {shackle_w / 2} 0 0 1 {shackle_w} 0 v{h * 0.35}" '
            f'fill="none" stroke="{INK}" stroke-width="3.2" stroke-linecap="round"/>\n'
            f'<path d="M{sx} {y} v-{h * 0.35} a{shackle_w / 2} {shackle_w / 2} 0 0 1 {shackle_w} 0 v{h * 0.35}" '
            f'fill="none" stroke="{SILVER}" stroke-width="1.4" stroke-linecap="round"/>\n'
            f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="1.2" fill="{body}" {STROKE}/>\n'
            f'<circle cx="{x + w / 2}" cy="{y + h * 0.42}" r="{h * 0.14}" fill="{INK}"/>\n'
            f'<path d="M{x + w / 2} {y + h * 0.45} V{y + h * 0.75}" stroke="{INK}" stroke-width="1.2" '
            f'stroke-linecap="round"/>\n')


# ---- tree images, 20 x 20: index 0 level-1 folder, 1 deeper folder, 2 record; 3 to 5 marked "重要" ----

TREE_FOLDER = folder(2.5, 3.5, 15, 13)

TREE = {
    "file": (
        binder(3.5, 2.5, 12, 15, BLUE, BLUE_D)
        + f'<rect x="8" y="5.5" width="5.5" height="4" fill="{PAPER}" stroke="{INK}" stroke-width="0.7"/>\n',
        page(4.5, 2.5, 11, 15)
        + f'<path d="M6.5 5.5 H10.5" stroke="{BLUE}" stroke-width="1.6" stroke-linecap="round"/>\n'
        + "".join(f'<rect x="6.5" y="{y - 1}" width="2" height="2" fill="{PAPER}" stroke="{BLUE}" '
                  f'stroke-width="0.8"/>\n' for y in (9, 12, 15))
        + lines(10, 13.5, (9, 12, 15)),
    ),
    "dairy": (
        binder(3.5, 2.5, 12, 15, WINE, WINE_D)
        + f'<rect x="7.5" y="5.5" width="6.5" height="5.5" fill="{PAPER}" stroke="{INK}" stroke-width="0.7"/>\n'
        + f'<path d="M8 10.5 L10 8 L11.3 9.4 L12.2 8.6 L13.6 10.5 z" fill="{GREEN}"/>\n'
        + f'<circle cx="12.3" cy="7.2" r="0.8" fill="{GOLD}"/>\n',
        f'<rect x="4.5" y="4" width="11" height="13.5" rx="0.5" fill="{PAPER}" {STROKE}/>\n'
        + f'<path d="M7 4.5 V17" stroke="{WINE}" stroke-width="0.8" stroke-opacity="0.6"/>\n'
        + lines(8, 13.5, (8, 10.5, 13, 15.5))
        + "".join(f'<path d="M{x} 2.5 V5.5" stroke="{INK}" stroke-width="1.2" stroke-linecap="round"/>\n'
                  for x in (6.5, 9, 11.5, 14)),
    ),
    "pwd": (
        binder(2.5, 1.5, 11, 14, TEAL, TEAL_D)
        + f'<rect x="8.5" y="9.5" width="10" height="8" rx="1" fill="{PAPER}" {STROKE}/>\n'
        + f'<path d="M8.5 11.8 H18.5" stroke="{TEAL}" stroke-width="1.4"/>\n'
        + "".join(f'<circle cx="{x}" cy="15" r="0.9" fill="{INK}"/>\n' for x in (11, 13.5, 16)),
        key("translate(5.5 14.5) rotate(-45)", SILVER, SILVER)
        + key("translate(5.5 5.5) rotate(45)", GOLD, GOLD),
    ),
}


def write_tree():
    for module, (level1, record) in TREE.items():
        for index, body in enumerate((level1, TREE_FOLDER, record)):
            write(f"tree-{module}-{index}.svg", svg(20, 20, body))
            write(f"tree-{module}-{index + 3}.svg", svg(20, 20, body + important_badge()))


# ---- navigation bar, 30 x 25 ----

NAV = {
    "nav-file": page(10.5, 1.5, 13, 17, fill=PAPER2) + page(5.5, 5.5, 13, 18)
    + f'<path d="M7.5 9.5 H12.5" stroke="{BLUE}" stroke-width="2" stroke-linecap="round"/>\n'
    + lines(7.5, 16.5, (13, 16, 19, 21.5)),
    "nav-dairy": f'<rect x="21" y="3" width="3" height="19" fill="{PAPER}" {STROKE}/>\n'
    + f'<rect x="6.5" y="1.5" width="16" height="22" rx="1.5" fill="{WINE}" {STROKE}/>\n'
    + f'<path d="M9.5 2 V23" stroke="{WINE_D}" stroke-width="1.5"/>\n'
    + f'<rect x="12" y="6" width="8" height="5" rx="0.8" fill="{PAPER}" stroke="{INK}" stroke-width="0.8"/>\n'
    + lines(13.5, 18.5, (8.5,), colour=WINE, width=0.9)
    + f'<path d="M17.5 16 V23 l1.5 -1.5 l1.5 1.5 V16 z" fill="{GOLD}" {STROKE}/>\n',
    "nav-pwd": f'<rect x="4.5" y="2.5" width="21" height="18" rx="2" fill="{TEAL}" {STROKE}/>\n'
    + f'<rect x="7" y="5" width="16" height="13" rx="1" fill="{TEAL_D}" stroke="{PAPER}" stroke-opacity="0.4" '
      f'stroke-width="0.8"/>\n'
    + f'<circle cx="13.5" cy="11.5" r="4.2" fill="{PAPER}" {STROKE}/>\n'
    + f'<path d="M13.5 8.3 V10 M16.7 11.5 H15 M13.5 14.7 V13 M10.3 11.5 H12" stroke="{INK}" stroke-width="0.8"/>\n'
    + f'<circle cx="13.5" cy="11.5" r="1.1" fill="{GOLD}" stroke="{INK}" stroke-width="0.6"/>\n'
    + f'<path d="M20 8.5 V14.5" stroke="{SILVER}" stroke-width="2.2" stroke-linecap="round"/>\n'
    + f'<path d="M7 20.5 v2 h3 v-2 M20 20.5 v2 h3 v-2" fill="{INK}" {STROKE}/>\n',
    "nav-crypt": page(4.5, 1.5, 14, 21)
    + lines(7, 13, (7, 10, 13, 16))
    + padlock(15.5, 14, 10, 8.5),
    "nav-profile": f'<path d="M4.5 22.5 v-2.5 a6 5 0 0 1 6 -5 h5 a6 5 0 0 1 6 5 v2.5 z" fill="{BLUE}" {STROKE}/>\n'
    + f'<circle cx="13" cy="8" r="5" fill="{BLUE_L}" {STROKE}/>\n'
    + f'<g transform="translate(22 15) rotate(45)">\n'
      f'<rect x="-1.6" y="-8" width="3.2" height="11" fill="{GOLD}" {STROKE}/>\n'
      f'<path d="M-1.6 3 L0 6.5 L1.6 3 z" fill="{PAPER}" {STROKE}/>\n'
      f'<rect x="-1.6" y="-9.5" width="3.2" height="1.5" fill="{RED}" {STROKE}/>\n</g>\n',
    "nav-lock": padlock(8, 11, 14, 12),
    "nav-exit": f'<rect x="4.5" y="1.5" width="13" height="22" fill="{PAPER2}" {STROKE}/>\n'
    + f'<path d="M4.5 1.5 L12.5 4 V23.5 L4.5 23.5 z" fill="{BLUE}" {STROKE}/>\n'
    + f'<circle cx="10.5" cy="13" r="0.9" fill="{GOLD}"/>\n'
    + f'<path d="M15 10.5 H21 V7 L27 12.5 L21 18 V14.5 H15 z" fill="{RED}" {STROKE}/>\n',
}


# ---- edit toolbar, 21 x 18, a quiet and a hot variant ----

TOOLBAR = {
    "tb-sibling-folder": folder(1.5, 3.5, 13, 11) + plus_badge(16.5, 9.5),
    "tb-child-folder": folder(1.5, 1.5, 9, 7)
    + f'<path d="M4.5 9 V13.5 H8.5" fill="none" stroke="{INK}" stroke-width="1" stroke-dasharray="1 1"/>\n'
    + folder(9, 9.5, 9, 7) + plus_badge(16.5, 4.5),
    "tb-new-record": page(3.5, 1.5, 10, 15)
    + f'<path d="M5.5 4.5 H9" stroke="{BLUE}" stroke-width="1.4" stroke-linecap="round"/>\n'
    + lines(5.5, 11.5, (7.5, 10, 12.5)) + plus_badge(16, 12.5),
    "tb-save": f'<path d="M2.5 1.5 H16 L18.5 4 V16.5 H2.5 z" fill="{BLUE}" {STROKE}/>\n'
    + f'<rect x="5.5" y="1.5" width="9" height="5" fill="{SILVER}" {STROKE}/>\n'
    + f'<rect x="11" y="2.5" width="2" height="3" fill="{INK}"/>\n'
    + f'<rect x="5.5" y="9.5" width="10" height="7" fill="{PAPER}" {STROKE}/>\n'
    + lines(7.5, 13.5, (12, 14.2)),
    "tb-delete": f'<path d="M5 3.5 L16 14.5 M16 3.5 L5 14.5" stroke="{RED_D}" stroke-width="4.2" '
                 f'stroke-linecap="round"/>\n'
    + f'<path d="M5 3.5 L16 14.5 M16 3.5 L5 14.5" stroke="{RED}" stroke-width="2.4" stroke-linecap="round"/>\n',
    "tb-move-folder": folder(1.5, 3.5, 12, 11)
    + f'<path d="M12 7.5 H16 V5 L20 9 L16 13 V10.5 H12 z" fill="{BLUE}" {STROKE}/>\n',
    "tb-move-top": f'<rect x="4.5" y="1.5" width="12" height="2.5" rx="1" fill="{BLUE_D}" {STROKE}/>\n'
    + arrow_up(10.5, 5.5, 16.5, BLUE),
    "tb-move-up": arrow_up(10.5, 2, 16, BLUE),
    "tb-move-down": f'<g transform="matrix(1 0 0 -1 0 18)">\n{arrow_up(10.5, 2, 16, BLUE)}</g>\n',
    "tb-move-bottom": f'<g transform="matrix(1 0 0 -1 0 18)">\n'
    f'<rect x="4.5" y="1.5" width="12" height="2.5" rx="1" fill="{BLUE_D}" {STROKE}/>\n'
    f'{arrow_up(10.5, 5.5, 16.5, BLUE)}</g>\n',
}


# ---- formatting bar, 16 x 16 ----

def stroke_path(d, colour=INK, width=1.0):
    return (f'<path d="{d}" fill="none" stroke="{colour}" stroke-width="{width}" stroke-linejoin="round" '
            f'stroke-linecap="round"/>\n')


def align(lengths):
    out = ""
    for i, (x1, x2) in enumerate(lengths):
        y = 3 + i * 3
        out += stroke_path(f"M{x1} {y} H{x2}", INK if i % 2 == 0 else BLUE, 1.4)
    return out


FORMAT = {
    "fmt-bold": stroke_path("M4.5 2.5 V13.5 M4.5 2.5 H8.5 A2.6 2.6 0 0 1 8.5 7.8 H4.5 "
                            "M4.5 7.8 H9.2 A2.85 2.85 0 0 1 9.2 13.5 H4.5", INK, 2.2),
    "fmt-italic": stroke_path("M7 2.5 H12 M4 13.5 H9 M9.5 2.5 L6.5 13.5", INK, 1.5),
    "fmt-underline": stroke_path("M4.5 2 V7.5 A3.5 3.5 0 0 0 11.5 7.5 V2", INK, 1.6)
    + stroke_path("M3 14 H13", BLUE, 1.6),
    "fmt-align-left": align([(2, 14), (2, 10), (2, 14), (2, 8)]),
    "fmt-align-center": align([(2, 14), (4, 12), (2, 14), (5, 11)]),
    "fmt-align-right": align([(2, 14), (6, 14), (2, 14), (8, 14)]),
    "fmt-color": stroke_path("M3.5 11 L8 1.5 L12.5 11 M5.3 7.5 H10.7", INK, 1.5)
    + f'<rect x="1.5" y="12.5" width="13" height="3" fill="{RED}" stroke="{INK}" stroke-width="0.8"/>\n',
    "fmt-font": stroke_path("M1.5 13.5 L6 2.5 L10.5 13.5 M3.2 9.5 H8.8", INK, 1.5)
    + stroke_path("M10 13.5 L12.2 7.5 L14.4 13.5 M10.9 11.5 H13.5", BLUE, 1.2),
    "fmt-undo": stroke_path("M4 6.5 H10 A3.5 3.5 0 0 1 10 13.5 H6", BLUE, 1.8)
    + f'<path d="M1.5 6.5 L5.5 3 V10 z" fill="{BLUE}" {STROKE}/>\n',
    "fmt-redo": stroke_path("M12 6.5 H6 A3.5 3.5 0 0 0 6 13.5 H10", BLUE, 1.8)
    + f'<path d="M14.5 6.5 L10.5 3 V10 z" fill="{BLUE}" {STROKE}/>\n',
    "fmt-copy": page(1.5, 1.5, 8, 10, fold=2.5, fill=PAPER2) + page(6.5, 4.5, 8, 10, fold=2.5)
    + lines(8.5, 12, (9.5, 11.5)),
    "fmt-cut": stroke_path("M5 1.5 L10.5 10.5 M11 1.5 L5.5 10.5", INK, 1.3)
    + f'<circle cx="4.5" cy="12.5" r="2.2" fill="{PAPER}" stroke="{RED}" stroke-width="1.4"/>\n'
    + f'<circle cx="11.5" cy="12.5" r="2.2" fill="{PAPER}" stroke="{RED}" stroke-width="1.4"/>\n',
    "fmt-paste": f'<rect x="2.5" y="2.5" width="10" height="12" rx="1" fill="{GOLD}" {STROKE}/>\n'
    + f'<rect x="5" y="1.5" width="5" height="2.5" rx="0.8" fill="{SILVER}" {STROKE}/>\n'
    + page(6.5, 6.5, 8, 8.5, fold=2.5) + lines(8.5, 11.5, (10.5, 12.5)),
    # The bar's controls that do not fit its width.
    "fmt-more": stroke_path("M3.5 4 L7.5 8 L3.5 12 M8.5 4 L12.5 8 L8.5 12", INK, 1.6),
}


# ---- application, help ----

APP = (f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
       f'<stop offset="0" stop-color="#3aa6a1"/><stop offset="1" stop-color="{TEAL_D}"/></linearGradient></defs>\n'
       f'<rect x="2" y="2" width="60" height="60" rx="12" fill="url(#g)" stroke="{INK}" stroke-width="2"/>\n'
       f'<g transform="scale(2)">\n'
       f'<rect x="22" y="7" width="2.5" height="19" fill="{PAPER2}" {STROKE}/>\n'
       f'<rect x="8" y="5.5" width="15" height="21" rx="1.5" fill="{PAPER}" {STROKE}/>\n'
       f'<path d="M11 6 V26" stroke="{WINE}" stroke-width="1.2" stroke-opacity="0.7"/>\n'
       + lines(13, 20, (10, 13, 16), width=1.2)
       + padlock(16.5, 19, 10, 8)
       + '</g>\n')

HELP = (f'<circle cx="8" cy="8" r="6.5" fill="{BLUE}" {STROKE}/>\n'
        + stroke_path("M5.8 6.2 A2.2 2.2 0 1 1 8.6 8.3 C8 8.6 8 9 8 9.8", PAPER, 1.6)
        + f'<circle cx="8" cy="12" r="0.95" fill="{PAPER}"/>\n')


def main():
    write_tree()
    for name, body in NAV.items():
        write(f"{name}.svg", svg(30, 25, body))
    for name, body in TOOLBAR.items():
        write(f"{name}.svg", svg(21, 18, muted(body)))
        write(f"{name}-hot.svg", svg(21, 18, body))
    for name, body in FORMAT.items():
        write(f"{name}.svg", svg(16, 16, body))
    write("tiv.svg", svg(64, 64, APP))
    write("help.svg", svg(16, 16, HELP))


if __name__ == "__main__":
    main()
