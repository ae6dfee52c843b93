#!/usr/bin/env python3
"""Synthetic production data of two process lines, for the reference analysis server's charts.

Each line makes batches of five parts; every part's diameter (mm) and weight (g) are measured.
Line A runs on target until its mean diameter shifts up by 1.5 sigma at a known batch; line B
runs on target until its tool starts to wear, after which its mean diameter drifts up by a fixed
amount per batch, back to target at each tool change (every 250 batches, so not within the
default 400). Weight follows diameter. The rows are grouped by line (all of line A, then all
of line B), in time order within a line, so that each line is one block of cases.

The final inspection of the same batches goes to a second file, one row per batch: the units
inspected (80 to 120), the nonconforming units among them, the defects found and the cause of
most of them, and the audit of a fixed sample of 50 more units: how many of them failed. When line A's diameter shifts, its parts also start to fail the roundness check:
its nonconforming fraction rises from 4% to 7% and its defects per unit from 0.06 to 0.10, most
of the new ones "Out of round". A batch without defects has no cause.

    python3 generate.py                        # writes production.csv and defects.csv here
    python3 generate.py --batches 100000 --out big.csv --defects-out big-defects.csv
    python3 generate.py --batches 500000 --defects-only --defects-out big-defects.csv

The same seed gives the same file, byte for byte.
"""

import argparse
import datetime
import math
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

INSPECTED = (80, 120)
AUDITED = 50
NONCONFORMING = 0.04
NONCONFORMING_SHIFTED = 0.07
DEFECTS_PER_UNIT = 0.06
DEFECTS_PER_UNIT_SHIFTED = 0.10
# Defect causes with their weights; a shifted line A adds "Out of round" defects on top.
CAUSES = (("Scratch", 5), ("Burr", 4), ("Porosity", 2), ("Wrong label", 1), ("Out of round", 1))

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


def poisson(rng, mean):
    # Knuth's method: enough for the small means of a batch.
    limit, count, product = 2.718281828459045 ** -mean, 0, rng.random()
    while product > limit:
        count += 1
        product *= rng.random()
    return count


def binomial(rng, trials, p):
    # Counts the successes by jumping over the failures between them: a geometric number of
    # draws per success instead of one per trial.
    count, at, log_fail = 0, 0, math.log(1.0 - p)
    while True:
        at += int(math.log(1.0 - rng.random()) / log_fail) + 1
        if at > trials:
            return count
        count += 1


def inspection_rows(line, batches, rng):
    names = [name for name, _ in CAUSES]
    weights = [weight for _, weight in CAUSES]
    for batch in range(1, batches + 1):
        shifted = line == "A" and batch >= SHIFT_BATCH
        inspected = rng.randint(*INSPECTED)
        p = NONCONFORMING_SHIFTED if shifted else NONCONFORMING
        nonconforming = binomial(rng, inspected, p)
        causes = dict.fromkeys(names, 0)
        for cause in rng.choices(names, weights, k=poisson(rng, DEFECTS_PER_UNIT * inspected)):
            causes[cause] += 1
        if shifted:
            extra = DEFECTS_PER_UNIT_SHIFTED - DEFECTS_PER_UNIT
            causes["Out of round"] += poisson(rng, extra * inspected)
        audit_failures = binomial(rng, AUDITED, p)
        defects = sum(causes.values())
        main_cause = max(names, key=lambda name: causes[name]) if defects else ""
        finished = START + (batch - 1) * BATCH_INTERVAL + PARTS_PER_BATCH * PART_INTERVAL
        yield (finished.strftime("%Y-%m-%d %H:%M"), line, "%s-%04d" % (line, batch),
               str(inspected), str(nonconforming), str(defects), main_cause, str(AUDITED),
               str(audit_failures))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batches", type=int, default=400, help="batches per line (default 400)")
    parser.add_argument("--seed", type=int, default=20240506)
    parser.add_argument("--out", default=os.path.join(here, "production.csv"))
    parser.add_argument("--defects-out", default=os.path.join(here, "defects.csv"))
    parser.add_argument("--defects-only", action="store_true", help="write the defects file alone")
    args = parser.parse_args()

    if not args.defects_only:
        rng = random.Random(args.seed)
        with open(args.out, "w", newline="", encoding="utf-8") as out:
            out.write("Timestamp,Line,Shift,Batch,Diameter,Weight,Operator\r\n")
            for line in ("A", "B"):
                for row in line_rows(line, args.batches, rng):
                    out.write(",".join(row) + "\r\n")
    # A generator of its own, so that the production file stays the same byte for byte.
    rng = random.Random(args.seed + 1)
    with open(args.defects_out, "w", newline="", encoding="utf-8") as out:
        out.write("Timestamp,Line,Batch,Inspected,Nonconforming,Defects,Cause,Audited,"
                  "AuditFailures\r\n")
        for line in ("A", "B"):
            for row in inspection_rows(line, args.batches, rng):
                out.write(",".join(row) + "\r\n")


if __name__ == "__main__":
    main()
