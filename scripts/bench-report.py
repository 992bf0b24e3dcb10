#!/usr/bin/env python3
"""Turns Google Benchmark JSON results into docs/performance.md (medians, ratios to baselines).

A benchmark whose name contains "/baseline" is the baseline of the other benchmarks of its file
that share the name's first segment; their ratio against it is reported.

The base-map redraws (old town, Vaduz, Liechtenstein) are also set side by side with Mapnik's
renders of the same views (<results>/mapnik/views.jsonl from scripts/bench-mapnik) in one table.

Figures in the prose above the tables are kept equal to the run's: a figure written between
<!-- PROGRAM BENCHMARK [UNIT] --> and <!-- end --> is replaced by that benchmark's median (the
benchmark named exactly, or with arguments after its name: "BM_X/5000" stands for
"BM_X/5000/min_time:0.200/real_time"), in its own unit or the one given; <!-- mapnik VIEW SCALE -->
stands for Mapnik's median on a view of scripts/bench-mapnik. A figure whose benchmark did not run
is left as it was.
"""
import json
import pathlib
import re
import sys

TARGET_MS = 30.0    # every full 1920x1080 redraw of a real city under this
TARGET_LARGE_MS = 60.0  # and every one of 3840x2160 device pixels (a 4K screen, or 1920x1080 at 200 %)
LARGE_VIEWS = ("old town, 3840x2160", "old town at 200 %")
MAPNIK_FACTOR = 10  # and at least this many times faster than Mapnik on the same view
UNIT_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
INGEST_TARGET = 200000  # points per second into PostgreSQL
READ_TARGET_MS = 1000.0  # a vehicle-day and a month computed, each under this
PG_FACTOR = 2.0          # and PostgreSQL within this factor of SQLite
STORE_PAIRS = [  # (benchmark, what it measures)
    ("BM_IngestFleetDay", "ingest of 100 vehicles x 1 day at 1 Hz (8.64 M points)"),
    ("BM_ReadVehicleDayOfFleet", "one vehicle-day read from the store holding them"),
    ("BM_ComputeMonthFromStore", "a month of one vehicle at 1 Hz read and computed into trips"),
    ("BM_ServerLoad100Clients", "100 clients reading and computing (SQLite: one server; PostgreSQL: two, 50 each)"),
]
MAPNIK_VIEWS = {"oldtown": "old town", "oldtown4k": "old town, 3840x2160", "oldtown200": "old town at 200 %",
                "vaduz": "Vaduz centre", "liechtenstein": "Liechtenstein"}


def split_name(run_name):
    """'BM_X/5000/min_time:0.200/real_time' -> ('BM_X', ['5000'], {'min_time': '0.200'})."""
    head, *parts = run_name.split("/")
    positional, named = [], {}
    for p in parts:
        if ":" in p:
            k, v = p.split(":", 1)
            named[k] = v
        elif p not in ("process_time", "real_time", "manual_time"):
            positional.append(p)
    return head, positional, named


def chart_view(run_name):
    """(view, scale, threads) of a base-map redraw benchmark, or None."""
    head, positional, named = split_name(run_name)
    try:
        if head in ("BM_ChartRedrawOldTown", "BM_ChartRedrawOldTownOneThread"):
            return "old town", int(positional[0]), 1 if head.endswith("OneThread") else 2
        if head == "BM_ChartRedrawOldTown4K":
            return "old town, 3840x2160", int(positional[0]), 2
        if head == "BM_ChartRedrawOldTownAt200Percent":
            return "old town at 200 %", int(positional[0]), 2
        if head == "BM_ChartRedrawLiechtenstein":
            scale = int(named["scale"])
            return ("Vaduz centre" if scale < 100000 else "Liechtenstein"), scale, int(named["threads"])
    except (IndexError, KeyError, ValueError):
        return None
    return None


def side_by_side(results_dir):
    """The lines of the table of control and Mapnik per view, and the closing verdict line."""
    control = {}  # (view, scale) -> {threads: ms}
    for f in sorted(pathlib.Path(results_dir).glob("*.json")):
        data = json.loads(f.read_text())
        runs = data.get("benchmarks", [])
        medians = [b for b in runs if b.get("aggregate_name") == "median"]
        for b in medians or [b for b in runs if b.get("run_type", "iteration") == "iteration"]:
            v = chart_view(b.get("run_name", b.get("name", "")))
            if v is not None:
                control.setdefault(v[:2], {})[v[2]] = b["real_time"] * UNIT_MS.get(b["time_unit"], 1.0)
    mapnik = {}
    views = pathlib.Path(results_dir) / "mapnik" / "views.jsonl"
    if views.exists():
        for line in views.read_text().splitlines():
            if line.strip():
                r = json.loads(line)
                mapnik[(MAPNIK_VIEWS.get(r.get("view"), r.get("view")), int(r["scale"]))] = r["median_ms"]
    if not control:
        return [], ""
    order = {"old town": 0, "old town, 3840x2160": 1, "old town at 200 %": 2, "Vaduz centre": 3, "Liechtenstein": 4}
    lines = ["| View (1920x1080 unless said) | control, two threads | control, one thread | Mapnik | Mapnik / control |\n",
             "|---|---:|---:|---:|---:|\n"]
    ratios = []
    fmt = lambda t: f"{t:.1f} ms" if t is not None else "-"
    for view, scale in sorted(control, key=lambda k: (order.get(k[0], 9), k[1])):
        two, one = control[(view, scale)].get(2), control[(view, scale)].get(1)
        m = mapnik.get((view, scale))
        ratio = m / two if m is not None and two else None
        if ratio is not None:
            ratios.append((ratio, view, scale))
        lines.append(f"| {view}, 1:{scale} | {fmt(two)} | {fmt(one)} | {fmt(m)} | "
                     f"{f'{ratio:.1f}x' if ratio is not None else '-'} |\n")
    timed = [(t[2], view, scale) for (view, scale), t in control.items() if 2 in t and view not in LARGE_VIEWS]
    large = [(t[2], view, scale) for (view, scale), t in control.items() if 2 in t and view in LARGE_VIEWS]
    if not timed:
        return lines, ""
    worst = max(timed)
    over = sorted(f"{v} 1:{s}" for t, v, s in timed if t >= TARGET_MS)
    verdict = (f"Worst 1920x1080 view: {worst[1]} 1:{worst[2]}, {worst[0]:.1f} ms on two threads. "
               f"Every 1920x1080 view under {TARGET_MS:.0f} ms: " + ("yes" if not over else "no (" + ", ".join(over) + ")") + ". ")
    if large:
        worst_large = max(large)
        over_large = sorted(f"{v} 1:{s}" for t, v, s in large if t >= TARGET_LARGE_MS)
        verdict += (f"Worst view of 3840x2160 device pixels: {worst_large[1]} 1:{worst_large[2]}, {worst_large[0]:.1f} ms; "
                    f"every one under {TARGET_LARGE_MS:.0f} ms: "
                    + ("yes" if not over_large else "no (" + ", ".join(over_large) + ")") + ". ")
    if ratios:
        low = min(ratios)
        slow = sorted(f"{v} 1:{s}" for r, v, s in ratios if r < MAPNIK_FACTOR)
        verdict += (f"At least {MAPNIK_FACTOR}x faster than Mapnik on every view compared: "
                    + ("yes" if not slow else "no (" + ", ".join(slow) + ")")
                    + f"; lowest ratio {low[0]:.1f}x ({low[1]} 1:{low[2]}).")
    else:
        verdict += "No Mapnik figures (python3-mapnik not available)."
    return lines, verdict


def store_side_by_side(results_dir):
    """Lines of the table of SQLite and PostgreSQL per measurement, and the verdict line."""
    medians = {}  # (head, kind) -> benchmark entry
    for f in sorted(pathlib.Path(results_dir).glob("*.json")):
        for b in json.loads(f.read_text()).get("benchmarks", []):
            if b.get("aggregate_name") != "median":
                continue
            head, *rest = b["run_name"].split("/")
            kind = "sqlite" if rest and rest[0].startswith("sqlite") else "postgresql"
            if any(head == h for h, _ in STORE_PAIRS):
                medians[(head, kind)] = b
    if not medians:
        return [], ""
    ms = lambda b: b["real_time"] * UNIT_MS.get(b["time_unit"], 1.0)
    lines = ["| Measurement | SQLite | PostgreSQL | PostgreSQL / SQLite |\n", "|---|---:|---:|---:|\n"]
    notes = []
    for head, what in STORE_PAIRS:
        lite, pg = medians.get((head, "sqlite")), medians.get((head, "postgresql"))
        if not lite and not pg:
            continue
        if head == "BM_IngestFleetDay":
            cell = lambda b: f"{b['items_per_second']:,.0f} points/s ({ms(b) / 1000:.1f} s)" if b else "-"
            if pg:
                notes.append(f"ingest into PostgreSQL {pg['items_per_second']:,.0f} points/s "
                             f"(target {INGEST_TARGET:,}: {'met' if pg['items_per_second'] >= INGEST_TARGET else 'missed'})")
        elif head == "BM_ServerLoad100Clients":
            cell = lambda b: (f"{b['requests_per_s']:,.0f} requests/s, p99 {b['p99_ms']:.1f} ms, "
                              f"p50 {b['p50_ms']:.1f} ms" if b else "-")
        else:
            cell = lambda b: f"{ms(b):.0f} ms" if b else "-"
            if lite and pg:
                fast = ms(pg) < READ_TARGET_MS and ms(lite) < READ_TARGET_MS
                close = ms(pg) <= PG_FACTOR * ms(lite)
                notes.append(f"{head}: under {READ_TARGET_MS:.0f} ms on both: {'yes' if fast else 'no'}, "
                             f"PostgreSQL within {PG_FACTOR:.0f}x of SQLite: {'yes' if close else 'no'}")
        ratio = f"{ms(pg) / ms(lite):.2f}" if lite and pg and ms(lite) > 0 else "-"
        lines.append(f"| {what} | {cell(lite)} | {cell(pg)} | {ratio} |\n")
    return lines, "; ".join(notes) + "."
FIGURE = re.compile(r"<!-- (\S+) (\S+)(?: (\S+))? -->(.*?)<!-- end -->", re.S)


def fill_figures(notes, results_dir):
    """The prose with every marked figure set to this run's median."""
    medians = {}  # (program, run name) -> milliseconds or (value, unit)
    for f in pathlib.Path(results_dir).glob("*.json"):
        for b in json.loads(f.read_text()).get("benchmarks", []):
            if b.get("aggregate_name") == "median":
                medians[(f.stem, b["run_name"])] = (b["real_time"], b["time_unit"])
    mapnik = {}
    views = pathlib.Path(results_dir) / "mapnik" / "views.jsonl"
    if views.exists():
        for line in views.read_text().splitlines():
            if line.strip():
                r = json.loads(line)
                mapnik[(r.get("view"), str(int(r["scale"])))] = r["median_ms"]

    def figure(m):
        program, name, unit, old = m.group(1), m.group(2), m.group(3), m.group(4)
        if program == "mapnik":
            value = mapnik.get((name, unit))
            text = f"{value:.0f} ms" if value is not None else None
        else:
            found = [v for (p, n), v in medians.items() if p == program and (n == name or n.startswith(name + "/"))]
            text = None
            if found:
                value, own = found[0]
                shown = unit or own
                value = value * UNIT_MS.get(own, 1.0) / UNIT_MS.get(shown, 1.0)
                text = f"{value:.3g} {shown}" if value < 100 else f"{value:.0f} {shown}"
        head = m.group(0)[: m.start(4) - m.start(0)]
        return head + (text if text is not None else old) + "<!-- end -->"

    return FIGURE.sub(figure, notes)


def main(results_dir: str, out_path: str) -> None:
    out = pathlib.Path(out_path)
    notes = ""
    if out.exists():
        text = out.read_text(encoding="utf-8")
        marker = "<!-- measured results below are generated by scripts/bench -->"
        notes = fill_figures(text.split(marker)[0] if marker in text else text, results_dir)
    lines = [notes.rstrip() + "\n\n" if notes else "# Performance\n\n",
             "<!-- measured results below are generated by scripts/bench -->\n"]
    table = []  # every median of the run, for the one table printed at the end
    for f in sorted(pathlib.Path(results_dir).glob("*.json")):
        data = json.loads(f.read_text())
        ctx = data.get("context", {})
        lines.append(f"\n## {f.stem}\n\n")
        lines.append(f"Run {ctx.get('date', '')} on {ctx.get('num_cpus', '?')} CPUs; "
                     f"project built in Release by scripts/build.\n\n")
        lines.append("| benchmark | median real time | unit |\n|---|---:|---|\n")
        medians = {}
        for b in data.get("benchmarks", []):
            if b.get("aggregate_name") != "median":
                continue
            name = b["run_name"]
            medians[name] = (b["real_time"], b["time_unit"])
            table.append((f.stem, name, b["real_time"], b["time_unit"]))
            lines.append(f"| {name} | {b['real_time']:.3f} | {b['time_unit']} |\n")
        base = {n.split("/")[0]: v for n, v in medians.items() if "/baseline" in n}
        ratios = []
        for n, (t, unit) in medians.items():
            head = n.split("/")[0]
            if head in base and "/baseline" not in n and base[head][1] == unit and base[head][0] > 0:
                ratios.append(f"| {n} | {t / base[head][0]:.2f} |\n")
        if ratios:
            lines.append("\n| benchmark | ratio to its baseline |\n|---|---:|\n")
            lines.extend(ratios)
    stores, store_verdict = store_side_by_side(results_dir)
    if stores:
        lines.append("\n## Fleet store: SQLite and PostgreSQL side by side\n\n")
        lines.append("Medians of one run; times are wall-clock (the ratio is of times: for the load, of the "
                     "whole run of the same number of requests).\n\n")
        lines.extend(stores)
        lines.append(f"\n{store_verdict}\n")
    views, verdict = side_by_side(results_dir)
    if views:
        lines.append("\n## Base-map views, the control and Mapnik\n\n")
        lines.append("Wall-clock time of one full redraw (medians); Mapnik renders on one thread. "
                     "The ratio is Mapnik's time over the control's on two threads, as it draws.\n\n")
        lines.extend(views)
        lines.append(f"\n{verdict}\n")
    out.write_text("".join(lines), encoding="utf-8")
    width = max([len(f"{p} {n}") for p, n, _, _ in table] + [9])
    print(f"{'benchmark':<{width}}  {'median':>12}  unit")
    for program, name, t, unit in table:
        print(f"{program + ' ' + name:<{width}}  {t:>12.3f}  {unit}")
    if stores:
        print()
        print("".join(stores), end="")
        print(store_verdict)
    if views:
        print()
        print("".join(views), end="")
        print(verdict)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
