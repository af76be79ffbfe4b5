"""Where a run's time goes: the seconds of each case (its sub-cases within
it), of each file of cases, and of the session's start and end, written as a
table when the run is asked for one (run_e2e.py --times FILE)."""
import os
import time
import unittest


class CaseTimes:
    def __init__(self):
        self.seconds = {}  # what took the time: seconds

    def add(self, what, seconds):
        self.seconds[what] = self.seconds.get(what, 0.0) + seconds

    def result_class(self):
        """A unittest result class that adds each case's time here."""
        times = self

        class TimedResult(unittest.TextTestResult):
            def startTest(self, test):  # noqa: N802 - unittest's name
                self._started = time.monotonic()
                super().startTest(test)

            def stopTest(self, test):  # noqa: N802 - unittest's name
                super().stopTest(test)
                times.add(test.id(), time.monotonic() - self._started)

        return TimedResult

    def table(self):
        """The lines of the table: the files of cases by their total, then
        each case and the session's start and end, the longest first."""
        files = {}
        for what, seconds in self.seconds.items():
            if not what.startswith("("):
                module = what.split(".")[0] + ".py"
                files[module] = files.get(module, 0.0) + seconds
        lines = [f"{sum(self.seconds.values()):9.1f}  all"]
        lines += [f"{seconds:9.1f}  {what}" for what, seconds in sorted(files.items(), key=lambda row: -row[1])]
        lines.append("")
        lines += [f"{seconds:9.1f}  {what}" for what, seconds in sorted(self.seconds.items(), key=lambda row: -row[1])]
        return lines

    def write(self, path):
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "w", encoding="utf-8") as table:
            table.write("\n".join(self.table()) + "\n")
