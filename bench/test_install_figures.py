"""Checks of install_figures.py: python3 -m unittest discover -s bench (scripts/bench-install runs them first)."""
import os
import tempfile
import unittest

import install_figures

RUN_LOG = (
    "\ufeff2026-12-09 10:00:00.001 Строка: Каталог создан\r\n"
    "2026-12-09 10:00:00.002 Шаг: Копирование файла T12.FDB....\r\n"
    "2026-12-09 10:00:05.100 Сведения: Копирование файла T12.FDB.... 1073741824 байт, 5098 мс: Завершено\r\n"
    "2026-12-09 10:00:05.101 Итог: Копирование файла T12.FDB....Завершено\r\n"
    "2026-12-09 10:00:05.110 Сведения: Копирование файла aliases.conf.... 1200 байт, 2 мс: Завершено\r\n"
    "2026-12-09 10:00:05.120 Сведения: Копирование файла my lib.v2.Dll.... 65535 байт, 9 мс: Завершено\r\n"
    "2026-12-09 10:00:05.130 Сведения: Копирование файла big.dll.... 65536 байт, 40 мс: Завершено\r\n"
    "2026-12-09 10:00:05.140 Сведения: Копирование файла gone.dll.... размер неизвестен, 1 мс: Не найден\r\n"
    "2026-12-09 10:00:05.150 Сведения: Будет скопировано до 1,2 МБ, свободно 3,4 МБ\r\n"
    "2026-12-09 10:00:05.200 Сведения: База данных и файлы сервера: 5199 мс\r\n"
    "2026-12-09 10:00:06.000 Сведения: Пакеты обновлений и сведения о выпуске: 800 мс\r\n"
)


class RunLogTest(unittest.TestCase):
    def test_reads_copied_files_and_steps_only_from_detail_lines(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "run.log")
            with open(path, "w", encoding="utf-8", newline="") as log:
                log.write(RUN_LOG)
            files, steps = install_figures.read_log(path)
            self.assertEqual(files, [("T12.FDB", 1073741824, 5098), ("aliases.conf", 1200, 2),
                                     ("my lib.v2.Dll", 65535, 9), ("big.dll", 65536, 40)])
            self.assertEqual(steps, {"База данных и файлы сервера": 5199,
                                     "Пакеты обновлений и сведения о выпуске": 800})

            lines = install_figures.log_figures("wizard", [path, path])
            self.assertIn("files under 64 KiB: 2 a run, median 6 ms, max 9 ms", lines[1])
            self.assertIn("T12.FDB: 5098 ms, 5098 ms (median 5098 ms)", lines[2])

    def test_a_log_without_file_lines_says_so(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "run.log")
            with open(path, "w", encoding="utf-8") as log:
                log.write("2026-12-09 10:00:00.001 Строка: Установка завершена\n")
            self.assertEqual(install_figures.log_figures("baseline", [path]),
                             ["  baseline's run log names no copied file with its size and time"])


ACCOUNTED_LOG = (
    "\ufeff2026-12-09 10:00:00.100 Командная строка: Setup.exe /VERYSILENT\r\n"
    "2026-12-09 10:00:00.130 Шаг: Копирование файла T12.FDB....\r\n"
    "2026-12-09 10:00:00.930 Сведения: Копирование файла T12.FDB.... 1073741824 байт, 800 мс: Завершено\r\n"
    "2026-12-09 10:00:00.970 Сведения: База данных и файлы сервера: 840 мс\r\n"
    "2026-12-09 10:00:01.120 Сведения: Пакеты и файлы программы обновления скопированы: 150 мс\r\n"
    "2026-12-09 10:00:01.500 Сведения: Пакеты обновлений и сведения о выпуске: 530 мс\r\n"
    "2026-12-09 10:00:01.510 Код завершения: 0\r\n"
)


class AccountTest(unittest.TestCase):
    def test_parts_add_up_to_the_run_and_missing_ones_join_the_next(self):
        with tempfile.TemporaryDirectory() as folder:
            probe, log = os.path.join(folder, "probe.log"), os.path.join(folder, "run.log")
            with open(probe, "w", encoding="utf-8") as out:
                out.write("run: 1600 ms, exit code 0\n"
                          "started at 2026-12-09 10:00:00.000, the process created after 20.0 ms\n")
            with open(log, "w", encoding="utf-8", newline="") as out:
                out.write(ACCOUNTED_LOG)
            parts = install_figures.account(probe, log)
            self.assertEqual(parts, [
                ("the process's creation", 20),
                ("before the run log's first line", 80),
                ("the run's checks and settings files", 30),
                ("the database (T12.FDB, written and flushed)", 800),
                ("the server's files", 40),
                ("fonts and driver + the packages' and updater's copies", 150),
                ("the wait for their flushes + the commit and the package's choice + "
                 "the package's script and release information", 380),
                ("shortcut, record and registration + the run's end to its last line", 10),
                ("after the last line until the process was gone", 90),
            ])
            self.assertAlmostEqual(sum(ms for _, ms in parts), 1600)
            lines = install_figures.account_figures({"wizard": [(probe, log)], "baseline": []})
            self.assertEqual(lines[2], "  before the run log's first line: wizard 80 ms")

    def test_a_probe_without_its_start_gives_no_account(self):
        with tempfile.TemporaryDirectory() as folder:
            probe, log = os.path.join(folder, "probe.log"), os.path.join(folder, "run.log")
            with open(probe, "w", encoding="utf-8") as out:
                out.write("run: 1600 ms, exit code 0\n")
            with open(log, "w", encoding="utf-8") as out:
                out.write(ACCOUNTED_LOG)
            self.assertIsNone(install_figures.account(probe, log))


class FiguresTest(unittest.TestCase):
    def test_medians_and_ratios_resist_one_slow_round(self):
        runs = {
            "wizard": [(9000, 9100, None), (4000, 4100, None), (4200, 4300, None)],
            "cp": [(2000, 2000, None), (2600, 2600, None), (2100, 2100, None)],
            "nsis": [(3000, 5000, None), (3300, 5200, None), (3100, 5100, None)],
        }
        out = install_figures.figures(runs)
        self.assertEqual(out[1], "  wizard (Setup.exe /VERYSILENT): 4200 ms (4000..9000); "
                                 "to the end of the sync after it 4300 ms (4100..9100)")
        self.assertEqual(out[2], "  cp -r and sync: 2100 ms (2000..2600)")
        self.assertEqual(out[4], "ratios of the medians: wizard / NSIS = 1.35, wizard / (cp -r and sync) = 2.00")
        self.assertIn("wizard / NSIS = 0.84", out[5])

    def test_ratios_name_only_the_contenders_that_ran(self):
        runs = {"wizard": [(10, 10, None), (30, 30, None)], "baseline": [(20, 20, None), (20, 20, None)]}
        out = install_figures.figures(runs)
        self.assertEqual(out[-1], "ratios of the medians: wizard / baseline = 1.00")


if __name__ == "__main__":
    unittest.main()
