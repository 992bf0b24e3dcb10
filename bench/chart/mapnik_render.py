#!/usr/bin/python3
"""Renders a view of a .chart with Mapnik, in a style comparable to the map control's, and prints
the median time of a full render, to compare with bench_chart's BM_ChartRedraw* figures.

Run with Debian's own interpreter, which has python3-mapnik:
    /usr/bin/python3 bench/chart/mapnik_render.py city.chart --scale 20000 --out mapnik.png

Mapnik reads the GeoPackage through its ogr datasource, the same GDAL driver the control uses.
The rules mirror the control's drawing rules (docs/chart-format.md): the kinds shown at the
chosen scale, their colours, and line widths from the same real widths and minimums.
"""
import argparse
import json
import math
import statistics
import subprocess
import sys
import time

import mapnik

EARTH_RADIUS = 6378137.0
MERCATOR = ("+proj=merc +a=6378137 +b=6378137 +lat_ts=0.0 +lon_0=0.0 +x_0=0.0 +y_0=0.0 +k=1.0 "
            "+units=m +nadgrids=@null +wktext +no_defs +over")
WGS84 = "+proj=longlat +datum=WGS84 +no_defs"
ALWAYS = 1e12

# Water areas: GDAL's OSM driver leaves the water and waterway keys in other_tags.
WATER_AREA = ("[natural]='water' or [landuse]='reservoir' or [landuse]='basin' "
              "or [other_tags].match('.*\"water\"=>.*') or [other_tags].match('.*\"waterway\"=>\"(riverbank|dock)\".*')")
PARK_AREA = ("[leisure]='park' or [leisure]='garden' or [leisure]='recreation_ground' or [leisure]='pitch' "
             "or [leisure]='playground' or [leisure]='sports_centre' or [landuse]='grass' or [landuse]='meadow' "
             "or [landuse]='village_green' or [landuse]='recreation_ground' or [natural]='grassland' "
             "or [natural]='scrub' or [natural]='heath'")
# areas: (filter, fill, stroke, max scale); roads: (name, filter, fill, stroke, real width m,
# min width px, max scale, label max scale)
AREAS = [
    ("[landuse]='residential'", "#e0dfdf", None, 400000),
    ("[landuse]='industrial' or [landuse]='railway' or [landuse]='garages' or [landuse]='construction' "
     "or [landuse]='brownfield'", "#ebdbe8", None, 400000),
    ("[landuse]='commercial' or [landuse]='retail'", "#f2dad9", None, 400000),
    ("[landuse]='farmland' or [landuse]='farmyard' or [landuse]='orchard' or [landuse]='allotments' "
     "or [landuse]='vineyard'", "#eef0d5", None, 400000),
    ("[landuse]='forest' or [natural]='wood'", "#add19e", None, ALWAYS),
    (PARK_AREA, "#c8facc", None, 400000),
    ("[landuse]='cemetery' or [amenity]='grave_yard'", "#aacbaf", None, 100000),
    ("[natural]='wetland'", "#d6ecea", None, 400000),
    ("[natural]='beach' or [natural]='sand'", "#f5e9c6", None, 400000),
    ("[amenity]='parking'", "#eeeeee", "#d0d0d0", 15000),
    (WATER_AREA, "#aad3df", None, ALWAYS),
]
BUILDING = ("[building] != '' and [building] != 'no'", "#d9d0c9", "#c4b6ab", 30000)
ROADS = [  # minor to major
    ("path", "[highway]='footway' or [highway]='path' or [highway]='cycleway' or [highway]='pedestrian' "
     "or [highway]='steps' or [highway]='bridleway'",
     "#fa8072", None, 2, 1.0, 15000, 0),
    ("track", "[highway]='track'", "#996600", None, 3, 1.0, 25000, 0),
    ("service", "[highway]='service'", "#ffffff", "#bbbbbb", 6, 2.0, 25000, 0),
    ("minor", "[highway]='residential' or [highway]='unclassified' or [highway]='living_street' or [highway]='road'",
     "#ffffff", "#bbbbbb", 10, 3.0, 100000, 30000),
    ("tertiary", "[highway]='tertiary' or [highway]='tertiary_link'", "#ffffff", "#a0a0a0", 12, 4.0, 100000, 30000),
    ("secondary", "[highway]='secondary' or [highway]='secondary_link'", "#f7fabf", "#a37b48", 14, 4.5, 500000, 60000),
    ("primary", "[highway]='primary' or [highway]='primary_link'", "#fcd6a4", "#a06b00", 16, 5.0, ALWAYS, 60000),
    ("trunk", "[highway]='trunk' or [highway]='trunk_link'", "#f9b29c", "#c84e2f", 18, 5.5, ALWAYS, 60000),
    ("motorway", "[highway]='motorway' or [highway]='motorway_link'", "#e892a2", "#dc2a67", 22, 6.0, ALWAYS, 60000),
]


def line_width(scale, ground_per_pixel, real, minimum):
    if scale > 150000:
        minimum *= 0.45
    elif scale > 60000:
        minimum *= 0.6
    elif scale > 30000:
        minimum *= 0.8
    return min(max(real / ground_per_pixel, max(minimum, 0.5)), 48.0)


def blend(a, b, t):
    """Colour a taken a share t of the way to colour b, as '#rrggbb'."""
    pa = [int(a[i:i + 2], 16) for i in (1, 3, 5)]
    pb = [int(b[i:i + 2], 16) for i in (1, 3, 5)]
    return "#" + "".join(f"{round(x + (y - x) * t):02x}" for x, y in zip(pa, pb))


def layer(name, path, ogr_layer, styles):
    style_names = "".join(f"<StyleName>{s}</StyleName>" for s in styles)
    # Features are read once and kept for the layer's further styles.
    cache = ' cache-features="true"' if len(styles) > 1 else ""
    return (f'<Layer name="{name}" srs="{WGS84}"{cache}>{style_names}<Datasource>'
            f'<Parameter name="type">ogr</Parameter><Parameter name="file">{path}</Parameter>'
            f'<Parameter name="layer">{ogr_layer}</Parameter></Datasource></Layer>')


def stylesheet(path, scale, ground_per_pixel, width, height):
    # One style per kind, in the control's drawing order: Mapnik draws a layer's styles one after
    # the other, so that water lies over parks wherever the features come in the file.
    area_styles = []
    for flt, fill, stroke, max_scale in AREAS:
        if scale <= max_scale:
            outline = f'<LineSymbolizer stroke="{stroke}" stroke-width="1"/>' if stroke and scale <= 12000 else ""
            area_styles.append(f'<Rule><Filter>{flt}</Filter><PolygonSymbolizer fill="{fill}"/>{outline}</Rule>')
    building_rules = ""
    if scale <= BUILDING[3]:
        outline = f'<LineSymbolizer stroke="{BUILDING[2]}" stroke-width="1"/>' if scale <= 12000 else ""
        building_rules = f'<Rule><Filter>{BUILDING[0]}</Filter><PolygonSymbolizer fill="{BUILDING[1]}"/>{outline}</Rule>'
    casing_rules = fill_rules = label_rules = ""
    for name, flt, fill, stroke, real, minimum, max_scale, label_scale in ROADS:
        if scale > max_scale:
            continue
        w = line_width(scale, ground_per_pixel, real, minimum)
        cased = stroke and scale <= 120000 and not (scale > 60000 and name in ("service", "minor"))
        colour = fill if cased or not stroke else blend(fill, stroke, 1.0 if name in ("service", "minor")
                                                        else 0.45 if name in ("tertiary", "secondary") else 0.25)
        dash = ' stroke-dasharray="4,3"' if name in ("path", "track") else ""
        if cased:
            border = 0.6 if scale > 60000 else (1.0 if scale > 15000 else 1.5)
            casing_rules += (f'<Rule><Filter>{flt}</Filter><LineSymbolizer stroke="{stroke}" '
                             f'stroke-width="{w + 2 * border:.2f}" stroke-linecap="square"/></Rule>')
        fill_rules += (f'<Rule><Filter>{flt}</Filter><LineSymbolizer stroke="{colour}" stroke-width="{w:.2f}" '
                       f'stroke-linecap="square"{dash}/></Rule>')
        if scale <= label_scale:
            label_rules += (f'<Rule><Filter>({flt}) and [name] != \'\'</Filter><TextSymbolizer placement="line" '
                            f'face-name="DejaVu Sans Book" size="11" fill="#333333" halo-fill="rgba(255,255,255,0.9)" '
                            f'halo-radius="1.5" spacing="260">[name]</TextSymbolizer></Rule>')
    rail_w = line_width(scale, ground_per_pixel, 4, 2.5)
    rail_rules = (f'<Rule><Filter>[railway]=\'rail\'</Filter><LineSymbolizer stroke="#707070" '
                  f'stroke-width="{rail_w:.2f}" stroke-linecap="butt"/>')
    if scale <= 50000 and rail_w >= 2.5:  # white dashes along the grey line
        dash = rail_w * 5
        rail_rules += (f'<LineSymbolizer stroke="#ffffff" stroke-width="{rail_w * 0.45:.2f}" '
                       f'stroke-dasharray="{dash:.1f},{dash:.1f}" stroke-linecap="butt"/>')
    rail_rules += '</Rule>'
    if scale <= 50000:
        rail_rules = (f'<Rule><Filter>[railway]=\'tram\' or [railway]=\'light_rail\' or [railway]=\'subway\' '
                      f'or [railway]=\'narrow_gauge\'</Filter><LineSymbolizer stroke="#909090" '
                      f'stroke-width="{line_width(scale, ground_per_pixel, 2, 1.5):.2f}"/></Rule>') + rail_rules
    water_w = line_width(scale, ground_per_pixel, 25, 2.0)
    water_rules = ('<Rule><Filter>[waterway]=\'river\' or [waterway]=\'canal\'</Filter>'
                   f'<LineSymbolizer stroke="#aad3df" stroke-width="{water_w:.2f}" stroke-linecap="round"/></Rule>')
    if scale <= 50000:
        water_rules += ('<Rule><Filter>[waterway]=\'stream\' or [waterway]=\'ditch\' or [waterway]=\'drain\'</Filter>'
                        f'<LineSymbolizer stroke="#aad3df" stroke-width="{line_width(scale, ground_per_pixel, 3, 1.0):.2f}" '
                        'stroke-linecap="round"/></Rule>')
    if scale <= 30000:  # river names along the line, like street names
        label_rules += ('<Rule><Filter>([waterway]=\'river\' or [waterway]=\'canal\') and [name] != \'\'</Filter>'
                        '<TextSymbolizer placement="line" face-name="DejaVu Sans Book" size="11" fill="#2b5f8a" '
                        'halo-fill="rgba(255,255,255,0.9)" halo-radius="1.5" spacing="260">[name]</TextSymbolizer></Rule>')
    area_labels = ""
    if scale <= 30000:
        area_labels += (f'<Rule><Filter>({WATER_AREA}) and [name] != \'\'</Filter><TextSymbolizer '
                        'face-name="DejaVu Sans Book" size="11" fill="#2b5f8a" halo-fill="white" halo-radius="1.5" '
                        'placement="interior">[name]</TextSymbolizer></Rule>')
    if scale <= 10000:
        area_labels += (f'<Rule><Filter>({PARK_AREA}) and [name] != \'\'</Filter>'
                        '<TextSymbolizer face-name="DejaVu Sans Book" size="11" fill="#2f6b34" halo-fill="white" '
                        'halo-radius="1.5" placement="interior">[name]</TextSymbolizer></Rule>')
    place_rules = ('<Rule><Filter>[place]=\'city\' or [place]=\'town\'</Filter><TextSymbolizer face-name="DejaVu Sans Bold" '
                   'size="18" fill="#222222" halo-fill="white" halo-radius="1.8">[name]</TextSymbolizer></Rule>')
    if scale <= 100000:
        place_rules += ('<Rule><Filter>[place]=\'suburb\' or [place]=\'village\' or [place]=\'borough\'</Filter><TextSymbolizer '
                        'face-name="DejaVu Sans Bold" size="13" fill="#222222" halo-fill="white" halo-radius="1.8">'
                        '[name]</TextSymbolizer></Rule>')
    if scale <= 30000:
        place_rules += ('<Rule><Filter>[place]=\'neighbourhood\' or [place]=\'quarter\' or [place]=\'hamlet\' '
                        'or [place]=\'locality\' or [place]=\'isolated_dwelling\'</Filter>'
                        '<TextSymbolizer face-name="DejaVu Sans Book" size="12" fill="#222222" halo-fill="white" '
                        'halo-radius="1.8">[name]</TextSymbolizer></Rule>')
    return f'''<?xml version="1.0" encoding="utf-8"?>
<Map srs="{MERCATOR}" background-color="#f2efe9">
{"".join(f'<Style name="areas{k}">{rule}</Style>' for k, rule in enumerate(area_styles))}
<Style name="waterlines">{water_rules}</Style>
<Style name="buildings">{building_rules}</Style>
<Style name="casings">{casing_rules}</Style>
<Style name="roads">{fill_rules}</Style>
<Style name="rail">{rail_rules}</Style>
<Style name="roadlabels">{label_rules}</Style>
<Style name="places">{place_rules}</Style>
<Style name="arealabels">{area_labels}</Style>
{layer("areas", path, "multipolygons", [f"areas{k}" for k in range(len(area_styles))])}
{layer("waterlines", path, "lines", ["waterlines"])}
{layer("buildings", path, "multipolygons", ["buildings"])}
{layer("roads", path, "lines", ["casings", "roads", "rail"])}
{layer("roadlabels", path, "lines", ["roadlabels"])}
{layer("arealabels", path, "multipolygons", ["arealabels"])}
{layer("places", path, "points", ["places"])}
</Map>'''


def chart_centre(path):
    """The centre of the chart's extent in degrees, from ogrinfo."""
    out = subprocess.run(["ogrinfo", "-so", "-al", path], capture_output=True, text=True).stdout
    xs, ys = [], []
    for line in out.splitlines():
        if line.startswith("Extent:"):
            nums = [float(v) for v in line.replace("Extent:", "").replace("(", " ").replace(")", " ")
                    .replace(",", " ").replace("-", " -").split() if v not in ("-",)]
            if len(nums) == 4:
                xs += [nums[0], nums[2]]
                ys += [nums[1], nums[3]]
    return ((min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("chart")
    ap.add_argument("--scale", type=float, default=20000)
    ap.add_argument("--width", type=int, default=1920)
    ap.add_argument("--height", type=int, default=1080)
    ap.add_argument("--lon", type=float)
    ap.add_argument("--lat", type=float)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--out")
    ap.add_argument("--view", default="", help="a name for the view, repeated in the output")
    ap.add_argument("--ratio", type=float, default=1.0,
                    help="device pixels per pixel (2 for a 200 %% screen): as many more pixels, lines and texts as much wider")
    args = ap.parse_args()

    lon, lat = (args.lon, args.lat) if args.lon is not None else chart_centre(args.chart)
    ground_per_pixel = args.scale * 0.0254 / 96.0
    merc_per_pixel = ground_per_pixel / math.cos(math.radians(lat))
    cx = EARTH_RADIUS * math.radians(lon)
    cy = EARTH_RADIUS * math.log(math.tan(math.pi / 4 + math.radians(lat) / 2))
    half_w, half_h = args.width * merc_per_pixel / 2, args.height * merc_per_pixel / 2

    pixels_w, pixels_h = round(args.width * args.ratio), round(args.height * args.ratio)
    m = mapnik.Map(pixels_w, pixels_h)
    mapnik.load_map_from_string(m, stylesheet(args.chart, args.scale, ground_per_pixel, args.width, args.height))
    m.zoom_to_box(mapnik.Box2d(cx - half_w, cy - half_h, cx + half_w, cy + half_h))
    times, cpu = [], []
    image = None
    for _ in range(args.runs + 1):  # the first run warms GDAL's caches and is not counted
        image = mapnik.Image(pixels_w, pixels_h)
        start, start_cpu = time.perf_counter(), time.process_time()
        mapnik.render(m, image, args.ratio)
        times.append((time.perf_counter() - start) * 1000.0)
        cpu.append((time.process_time() - start_cpu) * 1000.0)
    if args.out:
        image.save(args.out, "png")
    print(json.dumps({"view": args.view, "chart": args.chart, "scale": args.scale, "lon": lon, "lat": lat, "runs": args.runs,
                      "width": args.width, "height": args.height, "ratio": args.ratio,
                      "median_ms": round(statistics.median(times[1:]), 1), "min_ms": round(min(times[1:]), 1),
                      "median_cpu_ms": round(statistics.median(cpu[1:]), 1)}))


if __name__ == "__main__":
    sys.exit(main())
