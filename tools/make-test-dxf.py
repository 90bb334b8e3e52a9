#!/usr/bin/python3
# Writes the DXF files of the drawing tests (tests/data/dxf/) with ezdxf, one drawing in
# every version and both forms, so that the tests know what each holds:
#   a frame 0,0 - 200,100 (four black lines), a red circle at 50,50 r 20, an arc, a
#   bulged polyline, a point, a filled solid 120..140 x 10..30, a blue text 平面図 at
#   10,80 8 high, a block DOOR holding block KNOB placed twice and as an array of 3 x 2,
#   a linear dimension, a line on a layer turned off and one on a frozen layer (both
#   reaching 500,500), and from R2000 on an ellipse, a spline, a green hatch 150..180 x
#   60..90, an MTEXT 一階 / 二階 with formatting codes and a true-colour line.
# Before R2007 texts are stored in CP932 ($DWGCODEPAGE ANSI_932), one file in ANSI_1252,
# where ezdxf writes them as \U+XXXX escapes; from R2007 on in UTF-8.
#
#   /usr/bin/python3 tools/make-test-dxf.py tests/data/dxf
import os
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment


def build(version, codepage="ANSI_932", paper_only=False):
    doc = ezdxf.new(version, setup=False)
    if version < "AC1021" or version == "R12" or version in ("R2000", "R2004"):
        doc.header["$DWGCODEPAGE"] = codepage
        doc.encoding = "cp932" if codepage == "ANSI_932" else "cp1252"
    doc.layers.add("WALL", color=1)
    doc.layers.add("NOTE", color=5)
    off = doc.layers.add("OFF", color=3)
    off.off()
    frozen = doc.layers.add("FROZEN", color=3)
    frozen.freeze()
    modern = version not in ("R12",)

    knob = doc.blocks.new("KNOB", base_point=(0, 0))
    knob.add_circle((8, 10), 1)
    door = doc.blocks.new("DOOR", base_point=(0, 0))
    door.add_line((0, 0), (10, 0), dxfattribs={"color": 0})     # BYBLOCK
    door.add_line((10, 0), (10, 20))
    door.add_blockref("KNOB", (0, 0))

    space = doc.layout("Layout1") if paper_only else doc.modelspace()
    for a, b in (((0, 0), (200, 0)), ((200, 0), (200, 100)), ((200, 100), (0, 100)), ((0, 100), (0, 0))):
        space.add_line(a, b, dxfattribs={"color": 7})
    space.add_circle((50, 50), 20, dxfattribs={"layer": "WALL"})
    space.add_arc((100, 50), 10, 0, 90, dxfattribs={"color": 3})
    if modern:
        space.add_lwpolyline([(20, 10, 0, 0, 1), (40, 10), (40, 20)], format="xyseb", dxfattribs={"color": 6})
    else:
        space.add_polyline2d([(20, 10, 0, 0, 1), (40, 10, 0, 0, 0), (40, 20, 0, 0, 0)], format="xyseb", dxfattribs={"color": 6})
    space.add_point((190, 10))
    space.add_solid([(120, 10), (140, 10), (120, 30), (140, 30)], dxfattribs={"color": 2})
    space.add_text("平面図", height=8, dxfattribs={"layer": "NOTE", "insert": (10, 80)})
    space.add_text("ABC", height=4, dxfattribs={"insert": (100, 95)}).set_placement(
        (100, 95), align=TextEntityAlignment.MIDDLE_CENTER)
    space.add_blockref("DOOR", (60, 70), dxfattribs={"color": 1})
    space.add_blockref("DOOR", (80, 70), dxfattribs={"color": 5, "rotation": 90})
    if modern:
        space.add_blockref("DOOR", (150, 5), dxfattribs={"column_count": 3, "row_count": 2,
                                                         "column_spacing": 12, "row_spacing": 22})
    dim = space.add_linear_dim(base=(0, -10), p1=(0, 0), p2=(200, 0), dimstyle="Standard")
    dim.render()
    space.add_line((0, 0), (500, 500), dxfattribs={"layer": "OFF"})
    space.add_line((0, 0), (500, 500), dxfattribs={"layer": "FROZEN"})
    if modern:
        space.add_ellipse((100, 20), major_axis=(15, 0), ratio=0.5)
        space.add_spline_control_frame([(60, 10), (70, 30), (80, 0), (90, 20)])
        hatch = space.add_hatch(color=3)
        hatch.paths.add_polyline_path([(150, 60), (180, 60), (180, 90), (150, 90)], is_closed=True)
        space.add_mtext("{\\fMS Gothic|b0;一階}\\P\\H2;二階", dxfattribs={"char_height": 5, "insert": (10, 60),
                                                                            "layer": "NOTE"})
        line = space.add_line((0, 100), (200, 0))
        line.rgb = (0x12, 0x34, 0x56)
    return doc


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "tests/data/dxf"
    os.makedirs(out, exist_ok=True)
    files = [
        ("r12", "R12", "ANSI_932", "asc"), ("r12-bin", "R12", "ANSI_932", "bin"),
        ("r2000", "R2000", "ANSI_932", "asc"), ("r2000-escapes", "R2000", "ANSI_1252", "asc"),
        ("r2004-bin", "R2004", "ANSI_932", "bin"), ("r2007", "R2007", "", "asc"),
        ("r2010-bin", "R2010", "", "bin"), ("r2013", "R2013", "", "asc"), ("r2018", "R2018", "", "asc"),
        ("r2018-bin", "R2018", "", "bin"),
    ]
    for name, version, codepage, fmt in files:
        build(version, codepage or "ANSI_1252").saveas(os.path.join(out, name + ".dxf"), fmt=fmt)
    build("R2018", paper_only=True).saveas(os.path.join(out, "paper-only.dxf"))


main()
