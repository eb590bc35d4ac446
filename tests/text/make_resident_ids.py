#!/usr/bin/python3
"""Writes resident_id_cases.inc: ID numbers, valid and not, each with the verdict of an
independent check (Debian's python3-stdnum, stdnum.cn.ric), for personal_numbers_test.cpp.

Run once from this folder: ./make_resident_ids.py > resident_id_cases.inc
Birth dates lie between 1900 and 2020 (the other check accepts any future date) and regions
come from its county table or from two first digits no province has (it checks the whole
six-digit code, the program the province only), so the two checks judge the same thing.
"""
import random

from stdnum import exceptions, numdb
from stdnum.cn import ric

rng = random.Random(20261208)
counties = []
with open(numdb.__file__.replace("numdb.py", "cn/loc.dat"), encoding="utf-8") as db:
    for line in db:
        if line[:6].isdigit():
            counties.append(line[:6])
no_province = ["00", "10", "19", "20", "24", "30", "38", "40", "47", "55", "60", "66", "70",
               "72", "80", "84", "90", "99"]


def with_check(first17):
    return first17 + ric.calc_check_digit(first17 + "0")


def birth():
    return "%04d%02d%02d" % (rng.randint(1900, 2020), rng.randint(1, 12), rng.randint(1, 28))


def bad_birth():
    year = rng.randint(1900, 2020)
    month, day = rng.choice([(0, 10), (13, 1), (1, 0), (1, 32), (4, 31), (2, 30),
                             (rng.randint(14, 99), 5)])
    if rng.random() < 0.2:  # the 29th of February of a year that is no leap year
        year, month, day = rng.choice([1900, 1901, 1999, 2019, 2018]), 2, 29
    return "%04d%02d%02d" % (year, month, day)


def seq():
    return "%03d" % rng.randint(0, 999)


cases = []
for _ in range(1000):
    cases.append(with_check(rng.choice(counties) + birth() + seq()))
for _ in range(600):
    good = with_check(rng.choice(counties) + birth() + seq())
    cases.append(good[:17] + rng.choice([c for c in "0123456789X" if c != good[17]]))
for _ in range(600):
    cases.append(with_check(rng.choice(counties) + bad_birth() + seq()))
for _ in range(400):
    region = rng.choice(no_province) + "%04d" % rng.randint(0, 9999)
    cases.append(with_check(region + birth() + seq()))
for number in list(cases[::7]):
    if number.endswith("X"):
        cases.append(number[:17] + "x")

print("// Made by make_resident_ids.py; do not edit.")
for number in cases:
    try:
        ric.validate(number)
        verdict = "kNone"
    except exceptions.InvalidChecksum:
        verdict = "kCheck"
    except exceptions.InvalidComponent:
        try:
            ric.get_birth_date(number)
            verdict = "kRegion"
        except exceptions.InvalidComponent:
            verdict = "kDate"
    print('{"%s", IdProblem::%s},' % (number, verdict))
