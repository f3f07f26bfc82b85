"""eveluna --remind against python3-dbusmock's notification daemon on a private session bus, the late
reminder's action under a private Xvfb server. Usage: tst_remind.py PROGRAM [unittest arguments]."""

import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import dbusmock

PROGRAM = sys.argv.pop(1)
WEEKDAYS = "月火水木金土日"


def full_date(day):
    return f"{day.year}年{day.month}月{day.day}日（{WEEKDAYS[day.weekday()]}）"


def wait_for(check, seconds):
    deadline = time.monotonic() + seconds
    while not check() and time.monotonic() < deadline:
        time.sleep(0.1)
    return check()


class Reminder(dbusmock.DBusTestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_session_bus()

    def setUp(self):
        self.server, self.mock = self.spawn_server_template("notification_daemon", {}, stdout=subprocess.DEVNULL)
        self.addCleanup(self.server.wait)
        self.addCleanup(self.server.terminate)
        self.folder = self.enterContext(tempfile.TemporaryDirectory())
        shutil.copy(PROGRAM, self.folder)
        self.today = datetime.date.today()

    def write_newest_first_day(self, days_ago):
        day = self.today - datetime.timedelta(days=days_ago)
        with open(os.path.join(self.folder, "date.dat"), "wb") as dates:
            dates.write(day.strftime("%Y/%m/%d\r\n").encode())

    def notify_calls(self):
        return [call[1] for call in self.mock.GetMethodCalls("Notify", dbus_interface=dbusmock.MOCK_IFACE)]

    def remind(self):
        started = time.monotonic()
        run = subprocess.run([os.path.join(self.folder, "eveluna"), "--remind"], capture_output=True, timeout=30)
        return run, time.monotonic() - started

    def test_twoDaysAhead_notifiesOnceADay(self):
        self.write_newest_first_day(26)  # a 28-day cycle: the next period in two days
        run, _ = self.remind()
        self.assertEqual((run.returncode, run.stderr), (0, b""))
        calls = self.notify_calls()
        self.assertEqual(len(calls), 1)
        app, _, _, summary, body, actions = calls[0][:6]
        self.assertEqual((app, summary, list(actions)), ("Easy VELUNA", "生理予定日まであと2日", []))
        self.assertIn(full_date(self.today + datetime.timedelta(days=2)), body)

        self.assertEqual(self.remind()[0].returncode, 0)
        self.assertEqual(len(self.notify_calls()), 1)
        with open(os.path.join(self.folder, "setting.ini"), "rb") as settings:
            self.assertEqual(settings.read(), b"[Notice Setting]\r\nLastNotice=" +
                             self.today.strftime("%Y/%m/%d").encode() + b"\r\n")

    def test_nothingDue_endsAtOnceWithoutNotice(self):
        self.write_newest_first_day(10)
        run, seconds = self.remind()
        self.assertEqual((run.returncode, run.stderr, self.notify_calls()), (0, b"", []))
        self.assertLess(seconds, 2)
        self.assertEqual(sorted(os.listdir(self.folder)), ["date.dat", "eveluna"])

    def test_lateAction_opensRegistrationOverMainWindow(self):
        self.write_newest_first_day(30)
        runtime = self.enterContext(tempfile.TemporaryDirectory())
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                                 "-noreset"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        # Ending the server ends the program the action started as well.
        self.addCleanup(xvfb.stdout.close)
        self.addCleanup(xvfb.wait)
        self.addCleanup(xvfb.terminate)
        env = dict(os.environ, DISPLAY=":" + xvfb.stdout.readline().decode().strip(),
                   XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")
        reminder = subprocess.Popen([os.path.join(self.folder, "eveluna"), "--remind"], env=env)
        self.addCleanup(reminder.kill)
        calls = wait_for(self.notify_calls, 10)
        self.assertEqual(len(calls), 1)
        self.assertEqual(calls[0][3], "生理予定日を過ぎています")
        key, label = calls[0][5]
        self.assertEqual(label, "生理登録")

        self.mock.EmitSignal("org.freedesktop.Notifications", "ActionInvoked", "us", [1, key],
                             dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual(reminder.wait(30), 0)

        def windows(title):
            return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], env=env,
                                  capture_output=True, text=True).stdout.split()
        self.assertTrue(wait_for(lambda: windows("生理登録"), 20))
        self.assertEqual(len(windows("Easy VELUNA")), 1)


if __name__ == "__main__":
    unittest.main()
