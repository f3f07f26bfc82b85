"""eveluna's command line as a process without DISPLAY or WAYLAND_DISPLAY: --help, --version, an unknown
option, --status with its formats on fixed dates (faketime), with the portable program's data files
beside it; none of them may write a file. --record-start, with and without a running copy."""

import datetime
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAM = sys.argv.pop(1)

# 28, 29, 29 and 31 days: the average mode gives 29, so the next period by the rule begins 2025-12-20.
DATES = ["2025/11/21", "2025/10/21", "2025/09/22", "2025/08/24", "2025/07/27"]


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="eveluna-cli-")
        self.program = os.path.join(self.folder, "eveluna")
        shutil.copy2(PROGRAM, self.program)

        self.runtime = tempfile.mkdtemp(prefix="eveluna-cli-runtime-")

    def tearDown(self):
        shutil.rmtree(self.folder)
        shutil.rmtree(self.runtime)

    def write(self, name, text):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(text.encode("ascii"))

    def snapshot(self):
        return {name: os.stat(os.path.join(self.folder, name)).st_mtime_ns for name in os.listdir(self.folder)}

    def environment(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        # faketime preloads its library ahead of AddressSanitizer's runtime in a sanitizer build.
        env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
        # A runtime folder of the test's own: no running copy but the one a test starts.
        env["XDG_RUNTIME_DIR"] = self.runtime
        return env

    def run_program(self, *arguments, day="2025-12-07", program=None, writes=False):
        before = self.snapshot()
        # faketime's library by itself: the faketime command keeps a semaphore named after its process
        # id, and one left behind by a killed process fails a later run that gets the same id.
        env = dict(self.environment(), FAKETIME="@" + day + " 12:00:00",
                   LD_PRELOAD="/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1")
        run = subprocess.run([program or self.program, *arguments], capture_output=True, env=env, timeout=30)
        if not writes:
            self.assertEqual(self.snapshot(), before, "a file was written")
        return run.returncode, run.stdout.decode("utf-8"), run.stderr.decode("utf-8")

    def test_help_and_version(self):
        status, out, err = self.run_program("--help")
        self.assertEqual((status, err), (0, ""))
        self.assertIn("使い方", out)
        for option in ("--help", "--version", "--remind", "--status", "--json"):
            self.assertIn(option, out)
        status, out, _ = self.run_program("--version")
        self.assertEqual(status, 0)
        self.assertRegex(out, r"^Easy VELUNA \d+\.\d+\n$")

    def test_unknownOption_oneLineAndHint_exitTwo(self):
        status, out, err = self.run_program("--statu")
        self.assertEqual((status, out), (2, ""))
        lines = err.splitlines()
        self.assertEqual(len(lines), 2, err)
        self.assertIn("--statu", lines[0])
        self.assertIn("eveluna --help", lines[1])

    def test_status_lineAndJson(self):
        self.write("date.dat", "".join(day + "\r\n" for day in DATES))
        self.write("setting.ini", "[Day Setting]\r\nDaymode=0\r\n")
        status, out, err = self.run_program("--status")
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(out, "あと13日。次の生理: 12月20日ごろ (周期から。12月17日〜23日)\n")

        status, out, err = self.run_program("--status", "--json")
        self.assertEqual((status, err), (0, ""))
        report = json.loads(out)
        self.assertEqual(set(report), {"today", "first_day", "cycle_day", "cycle_length", "rule_next_start",
                                       "next_start", "range", "late_days", "track_record", "temperature",
                                       "period_days", "pms", "fertility"})
        self.assertEqual(report["today"], "2025-12-07")
        self.assertEqual(report["first_day"], "2025-11-21")
        self.assertEqual(report["cycle_day"], 17)
        self.assertEqual(report["cycle_length"], 29)
        self.assertEqual(report["rule_next_start"], "2025-12-20")
        self.assertEqual(report["next_start"], "2025-12-20")
        self.assertEqual(report["late_days"], 0)
        self.assertIsNone(report["temperature"])
        self.assertEqual(report["range"], {"first": "2025-12-17", "last": "2025-12-23", "share": 0.8})
        # The cycle from 09-22 predicted with 28 days (10-20, one day off), the one from 10-21 with 28
        # (11-18, three days off).
        self.assertEqual(report["track_record"], {"cycles": 2, "within_2_days": 1, "mean_abs_days": 2.0})

        status, out, _ = self.run_program("--status", day="2025-12-23")
        self.assertEqual((status, out), (0, "予定日を3日過ぎています\n"))
        status, out, _ = self.run_program("--status", day="2025-11-23")
        self.assertEqual((status, out), (0, "生理3日目\n"))

    def test_status_pmsAndPeriodDays(self):
        self.write("date.dat", "".join(day + "\r\n" for day in DATES))
        self.write("setting.ini", "[Day Setting]\r\nDaymode=0\r\n")
        # Irritable 3 and 2 days before the first days that ended three cycles, a headache in two of
        # them: the next period by the rule (12-20) puts the PMS days at 12-17 and 12-18. The newest
        # period: heavy, medium, a day unrecorded, light, then spotting after it: four days.
        self.write("dateDay.dat", "".join(line + "\r\n" for line in [
            "2025/09/19,symptoms=irritable", "2025/09/20,symptoms=headache|irritable",
            "2025/10/18,symptoms=irritable", "2025/10/19,symptoms=irritable",
            "2025/11/18,symptoms=irritable", "2025/11/19,symptoms=headache|irritable",
            "2025/11/21,flow=heavy", "2025/11/22,flow=medium", "2025/11/24,flow=light", "2025/11/25,flow=spotting"]))
        status, out, err = self.run_program("--status", "--json")
        self.assertEqual((status, err), (0, ""))
        report = json.loads(out)
        self.assertEqual(report["period_days"], 4)
        self.assertEqual(report["pms"], {"first": "2025-12-17", "last": "2025-12-18",
                                         "symptoms": ["irritable", "headache"]})
        status, out, _ = self.run_program("--status", day="2025-12-17")
        self.assertEqual((status, out), (0, "あと3日。次の生理: 12月20日ごろ (周期から。12月17日〜23日)、"
                                            "PMSが出やすい時期です (12月18日まで)\n"))

    def test_status_fertility(self):
        # The cycle before (2025-10-21) has its shift confirmed on its day 19; the current one begins on
        # 2025-11-21, so the 5-day rule leaves days 1-5 pre-fertile. A token a day: a reading in
        # hundredths, "/mucus" (0 t .. 4 S+), "/lh".
        def days(first, tokens):
            day = datetime.date.fromisoformat(first)
            for token in tokens.split():
                yield day, (token.split("/") + ["", ""])[:3]
                day += datetime.timedelta(days=1)

        def write_cycles(current):
            self.write("date.dat", "2025/11/21\r\n2025/10/21\r\n")
            temperatures, records = [], []
            previous = " ".join(["3640 3645 3650"] * 5 + ["3650"] + ["3675"] * 15)
            for day, (reading, mucus, lh) in list(days("2025-10-21", previous)) + list(days("2025-11-21", current)):
                date = day.strftime("%Y/%m/%d")
                if reading:
                    temperatures.append(f"{date},{int(reading) // 100}.{int(reading) % 100:02d}\r\n")
                fields = ([f"mucus={mucus}"] if mucus else []) + ([f"lh={lh}"] if lh else [])
                if fields:
                    records.append(",".join([date] + fields) + "\r\n")
            self.write("dateTemp.dat", "".join(temperatures))
            self.write("dateDay.dat", "".join(records))

        def fertility(day):
            status, out, err = self.run_program("--status", "--json", day=day)
            self.assertEqual((status, err), (0, ""))
            return json.loads(out)["fertility"]

        bleeding = "3640 3645 3650 3640 3645 "
        # Mucus peak on day 12 (12-02), found on day 15 when the shift is confirmed: 排卵後 from day 16.
        write_cycles(bleeding + "3650/0 3640/0 3645/1 3650/2 3640/3 3645/4 3650/4 3670/3 3670/2 3675/0 3680/0")
        self.assertEqual(fertility("2025-12-06"), {
            "phase": "post", "fertile_from": "2025-11-26", "fertile_until": "2025-12-05",
            "mucus_peak": "2025-12-02", "lh_positive": None, "signs": ["mucus", "temperature"]})
        status, out, _ = self.run_program("--status", day="2025-12-06")
        self.assertEqual(status, 0)
        self.assertTrue(out.startswith("あと"), out)

        # No mucus records: confirmed on day 15 (12-05), still fertile on day 17, as the line says.
        write_cycles(bleeding + "3650 3640 3645 3650 3640 3645 3650 3670 3670 3675 3680 3680")
        self.assertEqual(fertility("2025-12-07"), {
            "phase": "fertile", "fertile_from": "2025-11-26", "fertile_until": None,
            "mucus_peak": None, "lh_positive": None, "signs": ["temperature"]})
        status, out, _ = self.run_program("--status", day="2025-12-07")
        self.assertEqual((status, out), (0, "妊娠しやすい時期です (からだのサイン)\n"))

        # Ø on day 3 leaves it pre-fertile; f on day 4 begins the fertile phase a day before the 5-day rule ends.
        write_cycles("3640 3645 3650/1 3640/2/positive")
        self.assertEqual(fertility("2025-11-23"), {
            "phase": "pre", "fertile_from": "2025-11-26", "fertile_until": None,
            "mucus_peak": None, "lh_positive": None, "signs": ["temperature"]})
        self.assertEqual(fertility("2025-11-24"), {
            "phase": "fertile", "fertile_from": "2025-11-24", "fertile_until": None,
            "mucus_peak": None, "lh_positive": "2025-11-24", "signs": ["mucus", "lh"]})

    def test_status_withoutRecords(self):
        status, out, _ = self.run_program("--status")
        self.assertEqual((status, out), (0, "データーが足りません。\n"))
        status, out, _ = self.run_program("--status", "--json")
        report = json.loads(out)
        self.assertEqual(report["today"], "2025-12-07")
        self.assertTrue(all(value is None for key, value in report.items() if key != "today"), report)

    def test_status_waybarAndShort(self):
        self.write("date.dat", "".join(day + "\r\n" for day in DATES))
        self.write("setting.ini", "[Day Setting]\r\nDaymode=0\r\n")
        self.write("dateDay.dat", "".join(f"2025/{day},symptoms=irritable\r\n"
                                          for day in ("09/19", "09/20", "10/18", "10/19", "11/18", "11/19")))
        # The next period by the rule on 12-20; the grid's likely days 12-04 to 12-08, PMS 12-17 and 12-18.
        rows = [("2025-11-21", "生理1日目", "period"), ("2025-11-27", "生理7日目", "period"),
                ("2025-11-28", "あと22日", "normal"), ("2025-12-03", "あと17日", "normal"),
                ("2025-12-04", "あと16日", "fertile"), ("2025-12-08", "あと12日", "fertile"),
                ("2025-12-09", "あと11日", "normal"), ("2025-12-16", "あと4日", "normal"),
                ("2025-12-17", "あと3日", "pms"), ("2025-12-18", "あと2日", "pms"),
                ("2025-12-19", "あと1日", "normal"), ("2025-12-20", "今日", "normal"),
                ("2025-12-21", "1日遅れ", "late"), ("2026-01-20", "31日遅れ", "late")]
        for day, text, css in rows:
            with self.subTest(day):
                status, out, err = self.run_program("--status", "--waybar", day=day)
                self.assertEqual((status, err), (0, ""))
                self.assertEqual(out.count("\n"), 1)
                panel = json.loads(out)
                self.assertEqual(set(panel), {"text", "tooltip", "class"})
                self.assertEqual((panel["text"], panel["class"]), (text, css))
                _, line, _ = self.run_program("--status", day=day)
                self.assertEqual(panel["tooltip"] + "\n", line)
                self.assertEqual(self.run_program("--status", "--short", day=day), (0, text + "\n", ""))

        self.write("setting.ini", "[Day Setting]\r\nDaymode=0\r\n[Notice Setting]\r\nDiscreet=1\r\n")
        for day, text, css in [("2025-11-23", "予定", "period"), ("2025-12-07", "あと13日", "fertile"),
                               ("2025-12-23", "予定", "late")]:
            with self.subTest("discreet " + day):
                panel = json.loads(self.run_program("--status", "--waybar", day=day)[1])
                self.assertEqual(panel, {"text": text, "tooltip": "Easy VELUNA: " + text, "class": css})
                self.assertEqual(self.run_program("--status", "--short", day=day), (0, text + "\n", ""))

    def test_recordStart_withAndWithoutRunningCopy(self):
        old = "".join(day + "\r\n" for day in DATES)
        # Today is 2025-12-07; the newest first day 2025-11-21.
        rows = [
            ("today", [], 0, "2025/12/07 を生理開始日として登録しました", "2025/12/07"),
            ("eleven days after the newest", ["2025-12-02"], 0, "2025/12/02 を生理開始日として登録しました",
             "2025/12/02"),
            ("already there", ["2025-11-21"], 0, "2025/11/21 は既に登録されています", None),
            ("ten days after the newest", ["2025-12-01"], 0,
             "2025/12/01 は登録済みの 2025/11/21 から10日以内なので、同じ生理として登録しませんでした", None),
            ("ten days before the newest", ["2025-11-11"], 0,
             "2025/11/11 は登録済みの 2025/11/21 から10日以内なので、同じ生理として登録しませんでした", None),
            ("tomorrow", ["2025-12-08"], 2, "eveluna --record-start: 2025/12/08 はまだ来ていない日なので、登録できません",
             None),
            ("a day that does not exist", ["2025-02-30"], 2,
             "eveluna --record-start: ''2025-02-30'' は日付ではありません (yyyy-mm-dd)", None),
            ("another format", ["2025/12/05"], 2,
             "eveluna --record-start: ''2025/12/05'' は日付ではありません (yyyy-mm-dd)", None),
        ]
        for running in (False, True):
            for name, arguments, expected_status, line, added in rows:
                with self.subTest(name, running=running):
                    self.write("date.dat", old)
                    shutil.rmtree(os.path.join(self.folder, "backup"), ignore_errors=True)
                    caller = self.program
                    if running:
                        window = self.start_running_copy()
                        # Asked from a copy elsewhere: only the running one may write her files.
                        caller = os.path.join(self.folder, "elsewhere", "eveluna")
                        shutil.rmtree(os.path.dirname(caller), ignore_errors=True)
                        os.makedirs(os.path.dirname(caller))
                        shutil.copy2(PROGRAM, caller)
                    status, out, err = self.run_program("--record-start", *arguments, program=caller, writes=True)
                    self.assertEqual(status, expected_status)
                    self.assertEqual(out + err, line + "\n")
                    with open(os.path.join(self.folder, "date.dat"), "rb") as dates:
                        expected = sorted(DATES + [added] if added else DATES, reverse=True)
                        self.assertEqual(dates.read().decode(), "".join(day + "\r\n" for day in expected))
                    # The day's first change keeps the files as they were before it.
                    backup = os.path.join(self.folder, "backup", "2025-12-07", "date.dat")
                    self.assertEqual(os.path.exists(backup), added is not None)
                    if running:
                        self.assertEqual(os.listdir(os.path.dirname(caller)), ["eveluna"])
                        self.assertIsNone(window.poll())
                        window.terminate()
                        window.wait(10)

    def start_running_copy(self):
        # A copy ended by a signal leaves its socket behind.
        for name in os.listdir(self.runtime):
            os.remove(os.path.join(self.runtime, name))
        # The program itself under faketime's library (the faketime command would stand between).
        env = dict(self.environment(), QT_QPA_PLATFORM="offscreen", FAKETIME="@2025-12-07 12:00:00",
                   LD_PRELOAD="/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1")
        window = subprocess.Popen([self.program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(window.kill)
        deadline = time.monotonic() + 20
        while not any(name.endswith(".socket") for name in os.listdir(self.runtime)) and time.monotonic() < deadline:
            time.sleep(0.05)
        return window


if __name__ == "__main__":
    unittest.main()
