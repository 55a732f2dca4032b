#!/usr/bin/env python3
"""hourlink-stat on generated record files: text, CSV and JSON read back, the
period selections, the file left as it was, and the errors on missing, short
and damaged files.

Usage: stat_test.py HOURLINK_STAT [RUNNER...]   (RUNNER: e.g. scripts/wine-exec)
"""
import csv
import io
import json
import os
import struct
import subprocess
import sys
import tempfile
import time
import unittest

EXE = os.path.abspath(sys.argv[1])
RUNNER = sys.argv[2:]
# China's time, without summer time, for the program and for this script.
os.environ["TZ"] = "CST-8"
time.tzset()

HEADER = struct.Struct("<4sIB3xiIII4x")
RECORD = struct.Struct("<B3xIIi24siIB19sIh2xIB3x")
assert HEADER.size == 32 and RECORD.size == 84

BROADBAND = "宽带连接"


def at(y, mo, d, h=0, mi=0, s=0):
    return int(time.mktime((y, mo, d, h, mi, s, 0, 0, -1)))


def billed(seconds):
    r = seconds % 60
    return seconds - r if r < 2 else seconds - r + 60


def record(start, seconds, name, kind=2, ip="10.0.0.2", received=0, sent=0, marker=0x20):
    end = start + seconds if seconds > 0 else 0
    return RECORD.pack(marker, start, end, seconds, name.encode("gbk"), billed(seconds), 0, kind,
                       ip.encode(), received, 0, sent, 0)


def header(count, record_size=84):
    return HEADER.pack(b"12\0\0", at(2026, 12, 21), 200, 0, count, 32, record_size)


RECORDS = [
    record(at(2026, 11, 10, 10), 600, "ADSL"),  # the month before
    record(at(2026, 11, 25, 9), 3723, BROADBAND, received=1000, sent=2000),
    record(at(2026, 12, 1, 20), 61, 'VPN "work", 2', kind=3, ip="192.168.9.3"),
    record(at(2026, 12, 20, 23), 0, "拨号", kind=1),  # still open
    record(at(2026, 12, 25, 8), 120, "ADSL"),  # the month after
]
GOOD = header(len(RECORDS)) + b"".join(RECORDS)


class StatTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def file(self, data, name="adsl.bs"):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def run_stat(self, *args, stdout=subprocess.PIPE, cwd=None):
        done = subprocess.run(RUNNER + [EXE, *args], stdout=stdout, stderr=subprocess.PIPE,
                              timeout=120, cwd=cwd)
        return done.returncode, (done.stdout or b"").decode("utf-8"), done.stderr.decode("utf-8")

    def ok(self, *args, cwd=None):
        code, out, err = self.run_stat(*args, cwd=cwd)
        self.assertEqual(code, 0, err)
        return out

    def test_summary_has_a_line_per_accounting_month(self):
        path = self.file(GOOD)
        data = json.loads(self.ok(path, "--summary", "--json"))
        self.assertEqual((data["version"], data["file"], data["file_source"]),
                         (1, path, "argument"))
        self.assertEqual(data["selection"]["start_day"], 21)
        if not RUNNER:  # the Windows build reads the start day of the prefix's settings
            self.assertEqual(data["selection"]["start_day_source"], "default")
        self.assertEqual([m["month"] for m in data["months"]], ["2026-11", "2026-12", "2027-01"])
        self.assertEqual(data["months"][1], {
            "month": "2026-12", "sessions": 2, "open_sessions": 1, "online_seconds": 3784,
            "billed_minutes": 64, "bytes_received": 1000, "bytes_sent": 2000})
        rows = list(csv.reader(io.StringIO(self.ok(path, "--summary", "--csv"), newline="")))
        self.assertEqual([r[0] for r in rows[1:]], ["2026-11", "2026-12", "2027-01"])
        # Another start day moves the 25 November session into November.
        data = json.loads(self.ok(path, "--summary", "--start-day", "1", "--json"))
        self.assertEqual([m["month"] for m in data["months"]], ["2026-11", "2026-12"])
        self.assertEqual(data["months"][0]["sessions"], 2)
        self.assertIn("2027-01", self.ok(path, "--summary"))
        self.assertEqual(self.run_stat(path, "--summary", "--all")[0], 1)

    def test_allowance_option(self):
        path = self.file(GOOD)  # December: 1000 + 2000 bytes of a 1 MB allowance
        data = json.loads(self.ok(path, "--summary", "--allowance", "0.001", "--json"))
        self.assertEqual((data["selection"]["allowance_bytes"],
                          data["selection"]["allowance_source"]), (1000000, "argument"))
        self.assertEqual((data["months"][1]["allowance_used_percent"],
                          data["months"][1]["allowance_exceeded"]), (0.3, False))
        rows = list(csv.reader(io.StringIO(self.ok(path, "--summary", "--allowance=0.001",
                                                   "--csv"), newline="")))
        self.assertEqual(rows[0][-3:], ["流量限额字节", "已用限额百分比", "超出限额"])
        self.assertEqual(rows[2][-3:], ["1000000", "0.3", "否"])
        for bad in ["2x", "-1", "10001", "1.2345", ""]:
            with self.subTest(bad=bad):
                code, out, err = self.run_stat(path, "--summary", "--allowance", bad)
                self.assertEqual((code, out), (1, ""))
                self.assertIn("无法识别的流量限额", err)

    def test_month_as_json_csv_and_text(self):
        path = self.file(GOOD)
        before = os.stat(path)
        data = json.loads(self.ok(path, "--month", "2026-12", "--format", "json"))
        sessions = data["sessions"]
        self.assertEqual([s["start_epoch"] for s in sessions],
                         [at(2026, 11, 25, 9), at(2026, 12, 1, 20), at(2026, 12, 20, 23)])
        first = sessions[0]
        self.assertEqual(first["start"], "2026-11-25T09:00:00")
        self.assertEqual(first["end"], "2026-11-25T10:02:03")
        self.assertEqual((first["duration_seconds"], first["duration"], first["billed_minutes"]),
                         (3723, "1:02:03", 63))
        self.assertEqual((first["name"], first["type_name"], first["address"]),
                         (BROADBAND, "ADSL上网", "10.0.0.2"))
        self.assertEqual((first["bytes_received"], first["bytes_sent"]), (1000, 2000))
        self.assertEqual(sessions[1]["name"], 'VPN "work", 2')
        self.assertEqual(sessions[1]["type_name"], "虚拟专用网")
        self.assertIsNone(sessions[2]["end"])
        self.assertEqual(data["selection"]["begin"], "2026-11-21T00:00:00")
        self.assertEqual(data["selection"]["end"], "2026-12-21T00:00:00")
        self.assertEqual(data["summary"], {
            "sessions": 2, "open_sessions": 1, "online_seconds": 3784, "online": "1:03:04",
            "billed_minutes": 64, "bytes_received": 1000, "bytes_sent": 2000})

        raw = self.ok(path, "--month=2026-12", "--format=csv")
        rows = list(csv.reader(io.StringIO(raw, newline="")))
        self.assertEqual(rows[0], ["开始时间", "结束时间", "上网秒数", "上网用时", "上网分钟", "类型",
                                   "名称", "客户机IP", "接受字节", "发送字节"])
        self.assertEqual(rows[1], ["2026-11-25T09:00:00", "2026-11-25T10:02:03", "3723", "1:02:03",
                                   "63", "ADSL上网", BROADBAND, "10.0.0.2", "1000", "2000"])
        self.assertEqual(rows[2][6], 'VPN "work", 2')
        self.assertEqual(rows[3][1:5], ["", "", "", ""])
        self.assertEqual(len(rows), 4)

        text = self.ok(path, "--month", "2026-12")
        self.assertIn("计费月 2026年12月 (2026/11/21 至 2026/12/21)", text)
        self.assertIn("2026/11/25 09:00:00", text)
        self.assertIn(BROADBAND, text)
        self.assertIn("共 2 次上网，上网用时 1:03:04，计费 64 分钟，接受 1000 字节，发送 2000 字节", text)
        self.assertIn("另有 1 次上网未结束", text)

        after = os.stat(path)
        self.assertEqual((before.st_size, before.st_mtime_ns), (after.st_size, after.st_mtime_ns))
        with open(path, "rb") as f:
            self.assertEqual(f.read(), GOOD)

    def test_other_selections(self):
        path = self.file(GOOD)
        every = json.loads(self.ok(path, "--all", "--format", "json"))
        self.assertEqual(len(every["sessions"]), 5)
        days = json.loads(self.ok(path, "--from", "2026-12-01", "--to", "2026-12-20",
                                  "--format", "json"))
        self.assertEqual([s["start_epoch"] for s in days["sessions"]],
                         [at(2026, 12, 1, 20), at(2026, 12, 20, 23)])
        # Start day 1: the calendar month of December.
        calendar = json.loads(self.ok(path, "--month", "2026-12", "--start-day", "1",
                                      "--format", "json"))
        self.assertEqual(len(calendar["sessions"]), 3)
        self.assertEqual(self.ok(self.file(header(0)), "--month", "2026-12").splitlines()[2],
                         "没有上网记录")

    def test_errors(self):
        cases = [
            (os.path.join(self.dir.name, "missing.bs"), 2, "找不到记录文件"),
            (self.file(GOOD[:10], "short.bs"), 3, "太短"),
            (self.file(header(1, record_size=80) + RECORDS[0], "size.bs"), 3, "记录长度为 80"),
            (self.file(header(2) + RECORDS[0] + record(at(2026, 12, 1), 5, "x", marker=0),
                       "marker.bs"), 3, "第 2 条记录"),
        ]
        for path, code, message in cases:
            with self.subTest(path=os.path.basename(path)):
                got, out, err = self.run_stat(path, "--all")
                self.assertEqual(got, code, err)
                self.assertIn(message, err)
                self.assertEqual(out, "")
        code, _, err = self.run_stat("--month", "2026-13")
        self.assertEqual(code, 1)
        self.assertIn("无法识别的月份", err)
        code, _, err = self.run_stat("--all", "--month", "2026-12")
        self.assertEqual(code, 1)
        code, _, err = self.run_stat("--json=false")
        self.assertEqual(code, 1)
        self.assertIn("不带值", err)
        self.assertRegex(self.ok("--version"), r"^hourlink-stat \d+\.\d+\.\d+\n$")
        code, out, _ = self.run_stat("--help")
        self.assertEqual(code, 0)
        self.assertIn("用法: hourlink-stat", out)

    def test_short_count_lists_the_whole_records(self):
        # What a crash between the header's write and the record's leaves.
        for name, data, listed in [("count.bs", header(6) + b"".join(RECORDS), 5),
                                   ("torn.bs", header(5) + b"".join(RECORDS)[:-1], 4)]:
            with self.subTest(name):
                code, out, err = self.run_stat(self.file(data, name), "--all", "--json")
                self.assertEqual(code, 0, err)
                self.assertEqual(len(json.loads(out)["sessions"]), listed)
                self.assertIn(f"只有 {listed} 条完整的记录", err)

    def test_failed_output_write(self):
        with open("/dev/full", "wb") as full:
            code, _, err = self.run_stat(self.file(GOOD), "--all", stdout=full)
        self.assertEqual(code, 4)
        self.assertIn("无法写入标准输出", err)

    @unittest.skipIf(RUNNER, "the Windows build reads the program's settings")
    def test_records_in_the_current_folder_without_an_argument(self):
        self.file(GOOD)
        text = self.ok("--month", "2026-12", cwd=self.dir.name)
        self.assertIn("记录文件 adsl.bs (当前文件夹)，计费月从每月 21 日开始 (默认值", text)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
