#!/usr/bin/python3
"""zavrun's report of a sample-data run, as headless Chromium renders it.

Runs zavrun on the sample data with --report, then reads the page back from a real browser: its
DOM (one row per run, one alarm row per record of the JSON Lines file, every sample link
reaching an element of a chart) and a screenshot of the whole page, which must show every chart:
one band of the charts' measure colour per run, each with its control limits. Leaves the
screenshot and a crop of the first chart in OUT for people to look at.

usage: check_report.py WINE-RUN PREFIX ZAVRUN SOURCE-DIR OUT-DIR
"""
import json
import pathlib
import re
import shutil
import subprocess
import sys

from PIL import Image

MEASURE = (0x1F, 0x4E, 0x79)  # the charts' measure line
CONTROL = (0xC6, 0x28, 0x28)  # control limits and points beyond them
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def chromium(profile, *arguments):
    # Its own profile folder and no /dev/shm: a container's HOME or shared memory may not do.
    command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
               "--disable-dev-shm-usage", f"--user-data-dir={profile}", *arguments]
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def rows_with(image, colour, tolerance=24):
    """For each row of pixels, whether it holds the colour."""
    bands = [band.point(lambda v, c=c: 255 if abs(v - c) <= tolerance else 0)
             for band, c in zip(image.convert("RGB").split(), colour)]
    mask = Image.composite(bands[0], Image.new("L", image.size), bands[1])
    mask = Image.composite(mask, Image.new("L", image.size), bands[2])
    column = mask.resize((1, image.height), Image.Resampling.BOX)
    return [column.getpixel((0, y)) > 0 for y in range(image.height)]


def bands(flags, gap=300):
    """The spans of rows holding the colour; the parts of one chart lie closer than `gap`."""
    spans = []
    for y, flag in enumerate(flags):
        if flag and spans and y - spans[-1][1] <= gap:
            spans[-1][1] = y
        elif flag:
            spans.append([y, y])
    return spans


def main(wine_run, prefix, zavrun, source, out):
    out = pathlib.Path(out)
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    data = pathlib.Path(source) / "sample-data"
    run = subprocess.run([wine_run, prefix, zavrun, "--data", str(data / "production.csv"),
                          "--qcp", str(data / "diameter-xbar-r.qcp"), "--process-vars", "Line",
                          "--out", "alarms.jsonl", "--report", "report", "--quiet"],
                         cwd=out, capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"zavrun failed:\n{run.stdout}{run.stderr}")
    runs = len(re.findall(r"^run \d+:", run.stdout, re.M))
    records = [json.loads(line) for line in (out / "alarms.jsonl").read_text().splitlines()]
    page = (out / "report" / "index.html").as_uri()

    profile = out / "chromium-profile"
    dom = chromium(profile, "--dump-dom", page)
    check(runs == 2, f"zavrun made {runs} runs of the two lines")
    check(dom.count('<tr class="run-row">') == runs, "a row per run at the top")
    alarm_rows = dom.count('<tr class="alarm-row">')
    check(alarm_rows == len(records), f"{alarm_rows} alarm rows for {len(records)} records")
    check(dom.count('<svg') == runs, "a chart per run")
    links = set(re.findall(r'href="#(run\d+-s\d+)"', dom))
    ids = set(re.findall(r'id="(run\d+-s\d+)"', dom))
    check(links and links <= ids, f"{len(links - ids)} sample links lead nowhere")

    shot = out / "report.png"
    chromium(profile, "--window-size=1200,20000", f"--screenshot={shot}", page)
    image = Image.open(shot)
    check(len(image.convert("RGB").getcolors(1 << 24) or []) > 50, "the screenshot is not blank")
    charts = bands(rows_with(image, MEASURE))
    check(len(charts) == runs, f"{len(charts)} charts rendered for {runs} runs")
    limits = rows_with(image, CONTROL)
    for top, bottom in charts:
        check(any(limits[top:bottom]), f"the chart at rows {top} to {bottom} has its limits")
    if charts:
        image.crop((0, max(charts[0][0] - 110, 0), 1200, charts[0][1] + 120)).save(
            out / "chart-1.png")
    print(f"{runs} runs, {len(records)} alarm rows, {len(links)} sample links, "
          f"{len(charts)} charts rendered; screenshots in {out}")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
