#!/usr/bin/env python3
"""Writes the shipped eqsim scenarios into scenarios/. Run it again after a change here.

Each historical earthquake becomes a sequence of type-01 reports about a second
apart: magnitude, epicentre and depth converge on the final values, the accuracy
digits rise from 1 to 4, and the warning area codes of the nearby prefectures
appear in the later reports. One type-10 line with the region name follows the
first report that is accurate enough to alert.
"""
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "scenarios")

TYPE_CODE = "35"  # columns 3-4, not interpreted by the receiver
COL47 = "1"       # column 47, not interpreted

# file, EQ id, lat, lng, depth km, magnitude, region name, region code, warning areas (nearest first)
QUAKES = [
    ("kumamoto-2016", "DM20160414212634", 32.73, 130.82, 11, 6.5, "熊本県熊本地方", "741",
     ["741", "751", "721", "710", "762", "731", "770"]),
    ("tohoku-2011", "DM20110311144618", 38.10, 142.85, 24, 9.0, "三陸沖(東日本大震災)", "288",
     ["222", "212", "250", "242", "231", "300", "311"]),
    ("suruga-2009", "DM20090811050705", 34.78, 138.51, 23, 6.5, "駿河湾", "485",
     ["442", "411", "451", "360"]),
    ("iwate-miyagi-2008", "DM20080614084345", 39.02, 140.87, 8, 7.2, "岩手県内陸南部", "213",
     ["212", "222", "231", "242"]),
    ("chuetsu-oki-2007", "DM20070716101322", 37.55, 138.45, 17, 6.8, "新潟県上中越沖", "378",
     ["372", "420", "380", "321"]),
    ("noto-2007", "DM20070325094157", 37.22, 136.69, 11, 6.9, "能登半島沖", "392",
     ["391", "380", "400", "372"]),
    ("izu-2006", "DM20060421025039", 34.93, 139.19, 7, 5.8, "伊豆半島東方沖", "443",
     ["442", "360"]),
    ("fukuoka-2005", "DM20050320105340", 33.73, 130.17, 9, 7.0, "福岡県北西沖", "791",
     ["710", "721", "731", "741"]),
    ("tokachi-2003", "DM20030926045007", 42.78, 144.62, 53, 4.3, "十勝沖(2003年)", "194",
     ["101"]),
    ("geiyo-2001", "DM20010324152754", 34.12, 132.69, 46, 6.7, "安芸灘(芸予2001年)", "675",
     ["592", "621", "704", "581", "631"]),
    ("tottori-2000", "DM20001006133017", 35.27, 133.34, 9, 7.3, "鳥取県西部", "562",
     ["560", "570", "581", "592", "531"]),
    ("kobe-1995", "DM19950117054651", 34.59, 135.04, 16, 7.3, "大阪湾(阪神淡路大震災)", "532",
     ["531", "520", "550", "511", "540", "600", "610", "501"]),
    ("kanto-1923", "DM19230901115831", 35.32, 139.16, 23, 7.9, "神奈川県西部(関東大震災)", "361",
     ["360", "442", "411", "350", "341", "331", "300", "311", "321"]),
]


def occurrence(eq_id):
    s = eq_id[2:]
    return (int(s[0:4]), int(s[4:6]), int(s[6:8]), int(s[8:10]), int(s[10:12]), int(s[12:14]))


def add_seconds(t, secs):
    y, mo, d, h, mi, s = t
    total = h * 3600 + mi * 60 + s + secs
    return (y, mo, d + total // 86400, (total // 3600) % 24, (total // 60) % 60, total % 60)


def stamp(t):
    y, mo, d, h, mi, s = t
    return "%02d%02d%02d%02d%02d%02d" % (y % 100, mo, d, h, mi, s)


def report_count(mag):
    if mag >= 8.5:
        return 15
    if mag >= 7.0:
        return 10
    if mag >= 6.0:
        return 8
    return 5


def level(k):
    return 1 if k == 1 else 2 if k == 2 else 3 if k <= 4 else 4


def type01(eq_id, k, n, lat, lng, depth, mag, areas, present, occurred, drill="00"):
    lv = level(k)
    acc = "%d%d%d%d%d" % (lv, lv, lv, lv, lv) if k < n else "44455"
    codes = ""
    if k >= 3 and areas:
        count = max(1, round(len(areas) * (k - 2) / max(1, n - 2)))
        codes = "".join(areas[:count])
    line = ("01" + TYPE_CODE + drill + present + occurred + eq_id + COL47 + "%02d" % k +
            "N%03d" % round(lat * 10) + "E%04d" % round(lng * 10) + "%03d" % depth +
            "%02d" % round(mag * 10) + acc + codes)
    assert len(line) == 68 + len(codes), line
    return line


def sequence(eq_id, lat, lng, depth, mag, areas, rng, drill="00", n=None):
    """The (report number, line, seconds after the occurrence) of one earthquake."""
    n = n or report_count(mag)
    occ = occurrence(eq_id)
    start_mag = max(3.0, mag - 1.6)
    dlat, dlng = rng.uniform(-0.3, 0.3), rng.uniform(-0.3, 0.3)
    out = []
    secs = 4
    for k in range(1, n + 1):
        f = 0.45 ** (k - 1)
        last = k >= n - 1
        m = mag if last else round(mag - (mag - start_mag) * f, 1)
        la = lat if last else lat + dlat * f
        lo = lng if last else lng + dlng * f
        dp = depth if k >= 3 else (10 if depth < 150 else depth - 40)
        out.append((k, type01(eq_id, k, n, la, lo, dp, m, areas, stamp(add_seconds(occ, secs)), stamp(occ), drill),
                    secs))
        secs += 1
    return out


def type10(eq_id, k, code, name):
    return "10" + eq_id + COL47 + "%02d" % k + code + name


def write(name, header, rows):
    with open(os.path.join(OUT, name + ".txt"), "w", encoding="utf-8", newline="\n") as f:
        for h in header:
            f.write("# " + h + "\n")
        for delay, line in rows:
            f.write("+%d %s\n" % (delay, line))


def historical():
    for (name, eq_id, lat, lng, depth, mag, region, code, areas) in QUAKES:
        rng = random.Random(eq_id)
        rows = []
        for k, line, _ in sequence(eq_id, lat, lng, depth, mag, areas, rng):
            rows.append((1000 if k == 1 else rng.randint(800, 1500), line))
            if k == 2:
                rows.append((200, type10(eq_id, k, code, region)))
        write(name, ["%s M%.1f depth %d km, %.2fN %.2fE (%s)" % (region, mag, depth, lat, lng, eq_id),
                     "Regular reports (drill marker 00); warning areas: " + " ".join(areas)], rows)


def drill():
    eq_id = "DM20300401100000"
    rng = random.Random(eq_id)
    rows = [(1000, line)
            for k, line, _ in sequence(eq_id, 35.70, 139.80, 30, 7.3, ["350", "341", "331", "360"], rng, drill="01",
                                       n=5)]
    rows.append((200, type10(eq_id, 5, "350", "東京湾北部(訓練)")))
    write("drill", ["JMA drill telegrams (drill marker 01): a strong quake under Tokyo Bay that must not alert",
                    "unless drills are accepted."], rows)


def deep():
    eq_id = "DM20300402120000"
    rng = random.Random(eq_id)
    rows = [(1000, line) for k, line, _ in sequence(eq_id, 27.90, 140.70, 590, 8.1, ["350", "360", "341", "300"], rng,
                                                     n=6)]
    rows.insert(2, (200, type10(eq_id, 2, "992", "小笠原諸島西方沖")))
    write("deep", ["A deep earthquake: 590 km below the Ogasawara islands, M8.1."], rows)


def overlap():
    a_id, b_id = "DM20300403090000", "DM20300403090005"
    rng = random.Random(a_id)
    a = sequence(a_id, 35.60, 139.90, 40, 6.8, ["350", "341", "360", "331"], rng, n=6)
    b = sequence(b_id, 38.30, 142.00, 50, 7.0, ["222", "212", "250"], rng, n=6)
    rows = []
    for i in range(6):
        rows.append((1000 if i == 0 else 500, a[i][1]))
        rows.append((500, b[i][1]))
        if i == 1:
            rows.append((100, type10(a_id, 2, "351", "東京湾")))
            rows.append((100, type10(b_id, 2, "287", "宮城県沖")))
    write("overlap", ["Two earthquakes at the same time, reports interleaved:",
                      "A under Tokyo Bay (" + a_id + "), B off Miyagi (" + b_id + ")."], rows)


def two_quakes():
    # 2024-01-01: while the Noto earthquake (M7.6) was reported, a second report
    # came for an earthquake near 新島・神津島. A is the threat for the Kanto
    # area, B a weaker one beside it.
    a_id, b_id = "DM20240101161010", "DM20240101161013"
    rng = random.Random(a_id)
    a = sequence(a_id, 37.50, 137.27, 10, 7.6, ["390", "391", "380", "372"], rng, n=8)
    b = sequence(b_id, 34.40, 139.25, 10, 5.9, ["360"], rng, n=5)
    rows = [(1000, a[0][1]), (400, a[1][1]), (200, type10(a_id, 2, "390", "石川県能登地方"))]
    for i in range(2, 8):
        rows.append((500, a[i][1]))
        if i - 2 < len(b):
            rows.append((300, b[i - 2][1]))
        if i == 3:
            rows.append((100, type10(b_id, 2, "436", "新島・神津島近海")))
    write("two-quakes-2024", ["Two earthquakes at once: A at Noto (" + a_id + "), M7.6, and",
                              "B near 新島・神津島 (" + b_id + "), M5.9, reports interleaved."], rows)


def false_alarm():
    # 2016-08-01 17:09: JMA reported an M9.1 earthquake under Tokyo Bay from noise at a
    # station and withdrew it (type code 39) about 15 s later.
    eq_id = "DM20160801170904"
    occ = occurrence(eq_id)
    first = ("01" + TYPE_CODE + "00" + stamp(add_seconds(occ, 2)) + stamp(occ) + eq_id + COL47 + "01" +
             "N355E1400010912222" + "350341331360311")
    second = ("01" + TYPE_CODE + "00" + stamp(add_seconds(occ, 4)) + stamp(occ) + eq_id + COL47 + "02" +
              "N355E1400010912222" + "350341331360311")
    cancel = ("01" + "39" + "00" + stamp(add_seconds(occ, 17)) + stamp(occ) + eq_id + COL47 + "03" +
              "N355E1400010912222" + "350341331360311")
    rows = [(1000, first), (2000, second), (200, type10(eq_id, 2, "351", "東京湾")), (13000, cancel)]
    write("tokyo-bay-false-alarm-2016",
          ["False alarm of 2016-08-01: M9.1 under Tokyo Bay (" + eq_id + "),",
           "two reports, then JMA's cancel (type code 39) 15 s after the first."], rows)


def burst():
    rows = []
    ids = ["DM2030040410000%d" % i for i in range(4)]
    places = [(35.6, 139.9, 40, 6.0), (38.3, 142.0, 50, 6.4), (34.6, 135.0, 16, 5.5), (32.7, 130.8, 11, 5.9)]
    count = 0
    for k in range(1, 26):
        for eq_id, (lat, lng, depth, mag) in zip(ids, places):
            line = type01(eq_id, k, 25, lat, lng, depth, mag, [], "300404100010", "300404100000")
            rows.append((1000 if count == 0 else 0, line))
            count += 1
    write("burst100", ["100 type-01 telegrams of four earthquakes in one TCP segment, in order:",
                       "report k of each earthquake before report k+1 of any."], rows)


def invalid():
    eq_id = "DM20300405150000"
    good = type01(eq_id, 3, 5, 35.7, 139.7, 30, 6.0, [], "300405150004", "300405150000")
    rows = [(500, good), (100, "991"), (100, "1"), (100, "abc"), (100, ""), (100, "99"), (100, "100"),
            (100, "99 "), (100, type10(eq_id, 3, "350", "東京都23区"))]
    write("invalid-lines", ["Valid and invalid lines mixed: a type-01, \"991\", \"1\", \"abc\", an empty line,",
                            "\"99\", \"100\" (a short type-10), \"99 \" (invalid), a type-10."], rows)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    historical()
    drill()
    deep()
    overlap()
    two_quakes()
    false_alarm()
    burst()
    invalid()
