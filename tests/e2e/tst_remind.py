"""eveluna --remind and --remind-at against python3-dbusmock's notification daemon on a private session bus,
the late reminder's action under a private Xvfb server; the installed program's reminder against data
folders planted by another user. Usage: tst_remind.py PROGRAM INSTALLED_PROGRAM [unittest arguments]."""

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
INSTALLED_PROGRAM = sys.argv.pop(1)
OTHER_USER = 65534  # nobody: the other user of the machine


def wait_for(check, seconds):
    deadline = time.monotonic() + seconds
    while not check() and time.monotonic() < deadline:
        time.sleep(0.1)
    return check()


class NotificationTestCase(dbusmock.DBusTestCase):
    """A private session bus with the mock notification daemon, and a data folder of the test's own."""

    @classmethod
    def setUpClass(cls):
        cls.start_session_bus()

    def setUp(self):
        self.server, self.mock = self.spawn_server_template("notification_daemon", {}, stdout=subprocess.DEVNULL)
        self.addCleanup(self.server.wait)
        self.addCleanup(self.server.terminate)
        self.folder = self.enterContext(tempfile.TemporaryDirectory())


class Reminder(NotificationTestCase):
    def setUp(self):
        super().setUp()
        shutil.copy(PROGRAM, self.folder)
        self.today = datetime.date.today()

    def write_newest_first_day(self, days_ago, folder=None):
        day = self.today - datetime.timedelta(days=days_ago)
        with open(os.path.join(folder or self.folder, "date.dat"), "wb") as dates:
            dates.write(day.strftime("%Y/%m/%d\r\n").encode())

    def notify_calls(self):
        if self.server.poll() is not None:
            return []  # the test ended the notification service
        return [call[1] for call in self.mock.GetMethodCalls("Notify", dbus_interface=dbusmock.MOCK_IFACE)]

    def remind(self, program=None, cwd=None):
        started = time.monotonic()
        before = len(self.notify_calls())
        command = [program or os.path.join(self.folder, "eveluna"), "--remind"]
        run = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(run.kill)
        # A reminder with an action waits for her answer; closed here as she would close it.
        if wait_for(lambda: len(self.notify_calls()) > before or run.poll() is not None, 10) and run.poll() is None:
            self.close_notification(len(self.notify_calls()))
        out, err = run.communicate(timeout=30)
        return subprocess.CompletedProcess(command, run.returncode, out, err), time.monotonic() - started

    def close_notification(self, notification_id):  # the mock numbers them from 1
        self.mock.EmitSignal("org.freedesktop.Notifications", "NotificationClosed", "uu", [notification_id, 2],
                             dbus_interface=dbusmock.MOCK_IFACE)

    def test_twoDaysAhead_notifiesOnceADay(self):
        self.write_newest_first_day(26)  # a 28-day cycle: the next period in two days
        run, _ = self.remind()
        self.assertEqual((run.returncode, run.stderr), (0, b""))
        calls = self.notify_calls()
        self.assertEqual(len(calls), 1)
        app, _, _, summary, body, actions = calls[0][:6]
        self.assertEqual((app, summary, list(actions)[1::2]), ("Easy VELUNA", "生理予定日まであと2日", ["今日始まった"]))
        due = self.today + datetime.timedelta(days=2)
        self.assertEqual(body, f"次の生理: {due.month}月{due.day}日ごろ (周期から)。")

        self.assertEqual(self.remind()[0].returncode, 0)
        self.assertEqual(len(self.notify_calls()), 1)
        with open(os.path.join(self.folder, "setting.ini"), "rb") as settings:
            self.assertEqual(settings.read(), b"[Notice Setting]\r\nLastNotice=" +
                             self.today.strftime("%Y/%m/%d").encode() + b"\r\n")

    def test_noNotificationShown_writesNoLastNotice(self):
        self.write_newest_first_day(26)
        self.server.terminate()
        self.server.wait()
        run, _ = self.remind()
        self.assertEqual(run.returncode, 0)
        self.assertTrue(run.stderr.startswith(b"eveluna --remind: no notification shown"), run.stderr)
        self.assertEqual(sorted(os.listdir(self.folder)), ["date.dat", "eveluna"])

    def test_twoRunsAtOnce_notifyOnce(self):
        self.write_newest_first_day(26)
        program = os.path.join(self.folder, "eveluna")
        runs = [subprocess.Popen([program, "--remind"]) for _ in range(2)]
        self.assertTrue(wait_for(self.notify_calls, 10))
        self.close_notification(1)
        self.assertEqual([run.wait(30) for run in runs], [0, 0])
        self.assertEqual(len(self.notify_calls()), 1)

    def test_folderNameNotUtf8_readsTheRecordsBesideTheProgram(self):
        folder = os.path.join(os.fsencode(self.folder), b"records \xff\xfe")
        os.mkdir(folder)
        os.rename(os.path.join(os.fsencode(self.folder), b"eveluna"), os.path.join(folder, b"eveluna"))
        self.write_newest_first_day(26, os.fsdecode(folder))
        cwd = self.enterContext(tempfile.TemporaryDirectory())
        run, _ = self.remind(os.path.join(folder, b"eveluna"), cwd)
        self.assertEqual((run.returncode, run.stderr), (0, b""))
        self.assertEqual([call[3] for call in self.notify_calls()], ["生理予定日まであと2日"])
        # LastNotice is the reminder's own bookkeeping, not a change of hers: no backup for it.
        self.assertEqual(sorted(os.listdir(folder)), [b"date.dat", b"eveluna", b"setting.ini"])
        self.assertEqual(os.listdir(cwd), [])

    def test_plantedDataFolder_isRefused_andTouchesNothing(self):
        home = self.enterContext(tempfile.TemporaryDirectory())
        victim = os.path.join(home, "notes.txt")  # a file of hers the planted link leads to
        with open(victim, "wb") as notes:
            notes.write(b"mine\n")
        planted = {}

        def shared_data_home():  # XDG_DATA_HOME in a folder another user can write
            shared = os.path.join(home, "shared")
            os.mkdir(shared)
            os.chmod(shared, 0o1777)
            folder = os.path.join(shared, "eveluna")
            os.mkdir(folder)
            os.symlink(victim, os.path.join(folder, "setting.ini"))
            self.write_newest_first_day(26, folder)
            for path in (folder, os.path.join(folder, "date.dat")):
                os.chown(path, OTHER_USER, OTHER_USER)
            os.lchown(os.path.join(folder, "setting.ini"), OTHER_USER, OTHER_USER)
            return {"XDG_DATA_HOME": shared}

        def group_writable_folder():
            folder = os.path.join(home, ".local/share/eveluna")
            os.makedirs(folder)
            os.chmod(folder, 0o770)
            self.write_newest_first_day(26, folder)
            return {}

        def linked_to_another_users_folder():
            theirs = os.path.join(home, "theirs")
            os.mkdir(theirs, 0o700)
            self.write_newest_first_day(26, theirs)
            os.chown(theirs, OTHER_USER, OTHER_USER)
            os.makedirs(os.path.join(home, ".local/share"))
            os.symlink(theirs, os.path.join(home, ".local/share/eveluna"))
            return {}

        def own_folder_linking_to_another_users_file():
            folder = os.path.join(home, ".local/share/eveluna")
            os.makedirs(folder, 0o700)
            os.chmod(folder, 0o700)
            self.write_newest_first_day(26, folder)
            theirs = os.path.join(home, "their-settings.ini")
            with open(theirs, "wb"):
                pass
            os.chown(theirs, OTHER_USER, OTHER_USER)
            os.symlink(theirs, os.path.join(folder, "setting.ini"))
            planted["theirs"] = theirs
            return {}

        for plant in (shared_data_home, group_writable_folder, linked_to_another_users_folder,
                      own_folder_linking_to_another_users_file):
            with self.subTest(plant.__name__):
                for name in os.listdir(home):
                    if name != "notes.txt":
                        path = os.path.join(home, name)
                        if os.path.isdir(path) and not os.path.islink(path):
                            shutil.rmtree(path)
                        else:
                            os.remove(path)
                env = dict(os.environ, HOME=home)
                env.pop("XDG_DATA_HOME", None)
                env.update(plant())
                before = self.notify_calls()
                run = subprocess.run([INSTALLED_PROGRAM, "--remind"], env=env, capture_output=True, timeout=30)
                self.assertEqual(run.returncode, 1)
                lines = run.stderr.decode().splitlines()
                self.assertEqual(len(lines), 1, lines)
                self.assertRegex(lines[0], "^eveluna --remind: データ(フォルダー|ファイル) .* は使えません")
                self.assertEqual(self.notify_calls(), before)
                with open(victim, "rb") as notes:
                    self.assertEqual(notes.read(), b"mine\n")
                if "theirs" in planted:
                    self.assertEqual(os.path.getsize(planted.pop("theirs")), 0)

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
        key, label = calls[0][5][:2]
        self.assertEqual(label, "生理登録")

        self.mock.EmitSignal("org.freedesktop.Notifications", "ActionInvoked", "us", [1, key],
                             dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual(reminder.wait(30), 0)

        def windows(title):
            return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], env=env,
                                  capture_output=True, text=True).stdout.split()
        self.assertTrue(wait_for(lambda: windows("生理登録"), 20))
        self.assertEqual(len(windows("Easy VELUNA")), 1)


class DailyReminder(NotificationTestCase):
    def setUp(self):
        super().setUp()
        self.program = os.path.join(self.folder, "eveluna")
        shutil.copy(PROGRAM, self.program)
        self.today = datetime.date.today().strftime("%Y/%m/%d")
        # A recording stand-in for systemd-run, found first on PATH.
        bin_folder = os.path.join(self.folder, "bin")
        os.mkdir(bin_folder)
        self.calls = os.path.join(self.folder, "systemd-run.calls")
        with open(os.path.join(bin_folder, "systemd-run"), "w") as stand_in:
            stand_in.write(f"#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done >> '{self.calls}'\n")
        os.chmod(os.path.join(bin_folder, "systemd-run"), 0o700)
        self.env = dict(os.environ, PATH=bin_folder + ":" + os.environ["PATH"])

    def write(self, name, lines):
        with open(os.path.join(self.folder, name), "wb") as data:
            data.write("".join(line + "\r\n" for line in lines).encode())

    def read(self, name):
        with open(os.path.join(self.folder, name), "rb") as data:
            return data.read().decode()

    def notify_calls(self):
        return [call[1] for call in self.mock.GetMethodCalls("Notify", dbus_interface=dbusmock.MOCK_IFACE)]

    def remind_at(self, reminder, answer=None):
        """Runs the reminder; once its notification is up, invokes the action labelled `answer`, or closes
        it. Returns the exit status and the notifications sent."""
        before = len(self.notify_calls())
        run = subprocess.Popen([self.program, "--remind-at", reminder], env=self.env)
        self.addCleanup(run.kill)
        if wait_for(lambda: len(self.notify_calls()) > before or run.poll() is not None, 10) and \
                run.poll() is None:
            actions = list(self.notify_calls()[-1][5])
            notification_id = len(self.notify_calls())  # the mock numbers them from 1
            if answer is None:
                self.mock.EmitSignal("org.freedesktop.Notifications", "NotificationClosed", "uu",
                                     [notification_id, 2], dbus_interface=dbusmock.MOCK_IFACE)
            else:
                key = actions[actions.index(answer) - 1]
                self.mock.EmitSignal("org.freedesktop.Notifications", "ActionInvoked", "us",
                                     [notification_id, key], dbus_interface=dbusmock.MOCK_IFACE)
        return run.wait(30), self.notify_calls()[before:]

    def test_shownUnlessRecordedToday(self):
        yesterday = (datetime.date.today() - datetime.timedelta(days=1)).strftime("%Y/%m/%d")
        rows = [
            ("temperature, nothing recorded", "temperature", {}, "体温を測りましょう", ["記録する"]),
            ("temperature, yesterday's reading", "temperature", {"dateTemp.dat": [yesterday + ",36.40"]},
             "体温を測りましょう", ["記録する"]),
            ("temperature, today's reading", "temperature", {"dateTemp.dat": [self.today + ",36.45"]}, None, None),
            ("temperature, today's reading left out", "temperature", {"dateTemp.dat": [self.today + ",37.80,x"]},
             None, None),
            ("pill, nothing recorded", "pill", {}, "ピルの時間です", ["飲んだ", "あとで"]),
            ("pill, missed today", "pill", {"dateDay.dat": [self.today + ",pill=missed"]}, "ピルの時間です",
             ["飲んだ", "あとで"]),
            ("pill, taken yesterday", "pill", {"dateDay.dat": [yesterday + ",pill=taken"]}, "ピルの時間です",
             ["飲んだ", "あとで"]),
            ("pill, taken today", "pill", {"dateDay.dat": [self.today + ",flow=light,pill=taken"]}, None, None),
            ("pill, discreet", "pill", {"setting.ini": ["[Notice Setting]", "Discreet=1"]},
             "Easy VELUNA: お知らせ", ["飲んだ", "あとで"]),
        ]
        for name, reminder, files, summary, labels in rows:
            with self.subTest(name):
                for old in ("dateTemp.dat", "dateDay.dat", "setting.ini"):
                    if os.path.exists(os.path.join(self.folder, old)):
                        os.remove(os.path.join(self.folder, old))
                for file_name, lines in files.items():
                    self.write(file_name, lines)
                status, shown = self.remind_at(reminder)
                self.assertEqual(status, 0)
                if summary is None:
                    self.assertEqual(shown, [])
                    continue
                self.assertEqual(len(shown), 1)
                self.assertEqual(shown[0][3], summary)
                self.assertEqual(list(shown[0][5])[1::2], labels)
                # Once a day: the next run of the same day shows nothing.
                self.assertEqual(self.remind_at(reminder), (0, []))

    def test_taken_recordsPillTaken_keepingTheDay(self):
        self.write("dateDay.dat", ["2020/01/02,flow=heavy", self.today + ",flow=light,pain=2,mood=calm"])
        status, shown = self.remind_at("pill", "飲んだ")
        self.assertEqual((status, len(shown)), (0, 1))
        self.assertEqual(self.read("dateDay.dat"), "2020/01/02,flow=heavy\r\n" + self.today +
                         ",flow=light,pain=2,pill=taken,mood=calm\r\n")
        self.assertEqual(self.remind_at("pill"), (0, []))
        self.assertFalse(os.path.exists(self.calls))

    def test_later_asksSystemdRunForThirtyMinutes(self):
        status, shown = self.remind_at("pill", "あとで")
        self.assertEqual((status, len(shown)), (0, 1))
        with open(self.calls) as calls:
            arguments = calls.read().splitlines()
        self.assertIn("--user", arguments)
        self.assertIn("--on-active=30m", arguments)
        self.assertEqual(arguments[arguments.index(self.program):], [self.program, "--remind-at", "pill", "--again"])
        self.assertFalse(os.path.exists(os.path.join(self.folder, "dateDay.dat")))
        # The run systemd makes in 30 minutes comes although one was shown today.
        again = subprocess.Popen(arguments[arguments.index(self.program):], env=self.env)
        self.addCleanup(again.kill)
        self.assertTrue(wait_for(lambda: len(self.notify_calls()) == 2, 10))
        self.mock.EmitSignal("org.freedesktop.Notifications", "NotificationClosed", "uu", [2, 2],
                             dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual(again.wait(30), 0)


if __name__ == "__main__":
    unittest.main()
