#!/usr/bin/env python3
"""Synthetic production data of two process lines, for the reference analysis server's charts.

Each line makes batches of five parts; every part's diameter (mm) and weight (g) are measured.
Line A runs on target until its mean diameter shifts up by 1.5 sigma at a known batch; line B
runs on target until its tool starts to wear, after which its mean diameter drifts up by a fixed
amount per batch, back to target at each tool change (every 250 batches, so not within the
default 400). Weight follows diameter. The rows are grouped by line (all of line A, then all
of line B), in time order within a line, so that each line is one block of cases.

    python3 generate.py                        # writes production.csv beside this script
    python3 generate.py --batches 100000 --out big.csv   # 1,000,000 cases for benchmarks

The same seed gives the same file, byte for byte.
"""

import argparse
import datetime
import os
import random

DIAMETER_TARGET = 10.000
DIAMETER_SIGMA = 0.010
WEIGHT_TARGET = 25.000
WEIGHT_PER_MM = 2.0
WEIGHT_NOISE = 0.040
PARTS_PER_BATCH = 5
BATCH_INTERVAL = datetime.timedelta(minutes=15)
PART_INTERVAL = datetime.timedelta(minutes=1)
START = datetime.datetime(2024, 5, 6, 6, 0)

# Line A: the mean diameter moves up by 1.5 sigma from this batch (1-based) on.
SHIFT_BATCH = 250
SHIFT = 1.5 * DIAMETER_SIGMA
# Line B: from this batch on, the mean diameter rises by this much per batch as the tool wears,
# until the tool is changed after TOOL_LIFE batches and the drift starts again from target.
TREND_BATCH = 200
TREND_PER_BATCH = 0.0001
TOOL_LIFE = 250

OPERATORS = {
    "A": {"Early": "Meier", "Late": "Okafor", "Night": "Silva"},
    "B": {"Early": "Novak", "Late": "Haddad", "Night": "Lindqvist"},
}


def shift_of(moment):
    if 6 <= moment.hour < 14:
        return "Early"
    if 14 <= moment.hour < 22:
        return "Late"
    return "Night"


def mean_diameter(line, batch):
    if line == "A" and batch >= SHIFT_BATCH:
        return DIAMETER_TARGET + SHIFT
    if line == "B" and batch >= TREND_BATCH:
        worn = (batch - TREND_BATCH) % TOOL_LIFE + 1
        return DIAMETER_TARGET + TREND_PER_BATCH * worn
    return DIAMETER_TARGET


def line_rows(line, batches, rng):
    for batch in range(1, batches + 1):
        started = START + (batch - 1) * BATCH_INTERVAL
        mean = mean_diameter(line, batch)
        for part in range(PARTS_PER_BATCH):
            moment = started + part * PART_INTERVAL
            diameter = rng.gauss(mean, DIAMETER_SIGMA)
            weight = (WEIGHT_TARGET + WEIGHT_PER_MM * (diameter - DIAMETER_TARGET)
                      + rng.gauss(0.0, WEIGHT_NOISE))
            shift = shift_of(moment)
            yield (moment.strftime("%Y-%m-%d %H:%M"), line, shift, "%s-%04d" % (line, batch),
                   "%.4f" % diameter, "%.3f" % weight, OPERATORS[line][shift])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batches", type=int, default=400, help="batches per line (default 400)")
    parser.add_argument("--seed", type=int, default=20240506)
    parser.add_argument("--out", default=os.path.join(here, "production.csv"))
    args = parser.parse_args()

    rng = random.Random(args.seed)
    with open(args.out, "w", newline="", encoding="utf-8") as out:
        out.write("Timestamp,Line,Shift,Batch,Diameter,Weight,Operator\r\n")
        for line in ("A", "B"):
            for row in line_rows(line, args.batches, rng):
                out.write(",".join(row) + "\r\n")


if __name__ == "__main__":
    main()
