"""Runs sumcheck, preserve, mksums and the script host as processes on scratch
installation trees. The programs come from the environment (SUMCHECK, PRESERVE, MKSUMS,
PROBE, NOMAIN); each tree has the tools' start directory "bin" and the list "lib/sums".
"""

import ast
import hashlib
import os
import pty
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAMS = {name: os.environ.get(name.upper(), "") for name in
            ("sumcheck", "preserve", "mksums", "probe", "nomain")}

NO_CHANGES = b"No Corvane Server files have been modified.\n"
MODIFIED = b"Corvane Server files that have been modified:\n\n"
MISSING = b"Corvne Server files that are missing:\n\n"
SAVED = b"Corvane Server files that have been saved:\n\n"
NOT_SAVED = b"Corvane Server files that could not be saved:\n\n"


def clean_env(**extra):
    env = dict(os.environ)
    for name in ("PYTHONUNBUFFERED", "PYTHONINSPECT", "DISPLAY", "WAYLAND_DISPLAY",
                 "PYTHONHOME", "PYTHONPATH", "PYTHONSTARTUP"):
        env.pop(name, None)
    env.update(extra)
    return env


def run(program, *args, cwd=None, env=None, stdin=subprocess.DEVNULL, **kwargs):
    return subprocess.run([PROGRAMS[program], *args], cwd=cwd, env=env or clean_env(),
                          stdin=stdin, capture_output=True, timeout=60, **kwargs)


def md5(data):
    return hashlib.md5(data).hexdigest()


class TreeCase(unittest.TestCase):
    """A scratch installation: files written from a dict of relative paths to bytes."""

    FILES = {
        "bin/corvane.exe": b"server binary\0\1\2" * 100,
        "lib/corvane.dll": b"library" * 5000,
        "lib/site/one.py": b"print('one')\n",
        "lib/site/two.py": b"print('two')\n",
        "data/empty.cfg": b"",
        "data/large.bin": bytes(range(256)) * 12000,
        "data/z-last.txt": b"last\n",
    }

    def setUp(self):
        for name, path in PROGRAMS.items():
            self.assertTrue(path and os.access(path, os.X_OK), "program %s not given" % name)
        self.root = tempfile.mkdtemp(prefix="scripthost-")
        self.addCleanup(shutil.rmtree, self.root, ignore_errors=True)
        self.bin = os.path.join(self.root, "bin")
        for path, data in self.FILES.items():
            self.write(path, data)

    def path(self, rel):
        return os.path.join(self.root, rel)

    def write(self, rel, data):
        os.makedirs(os.path.dirname(self.path(rel)), exist_ok=True)
        with open(self.path(rel), "wb") as stream:
            stream.write(data)

    def read(self, rel):
        with open(self.path(rel), "rb") as stream:
            return stream.read()

    def make_list(self):
        result = run("mksums", self.root)
        self.assertEqual(result.returncode, 0, result.stderr)

    def write_list(self, lines):
        self.write("lib/sums", b"".join(lines))

    def line(self, rel):
        return b"%s:%s\n" % (rel.encode(), md5(self.read(rel)).encode())


class SumcheckTests(TreeCase):
    def sumcheck(self, **kwargs):
        return run("sumcheck", cwd=self.bin, **kwargs)

    def test_unchanged_tree(self):
        self.make_list()
        result = self.sumcheck()
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, NO_CHANGES, b""))

    def test_modified_and_missing_blocks_in_list_order(self):
        latin1 = os.path.join(os.fsencode(self.root), b"caf\xe9.bin")  # not UTF-8
        with open(latin1, "wb") as stream:
            stream.write(b"name in Latin-1")
        self.make_list()
        self.write("data/z-last.txt", b"changed\n")
        self.write("bin/corvane.exe", b"patched")
        with open(latin1, "ab") as stream:
            stream.write(b"+")
        os.unlink(self.path("lib/site/two.py"))
        os.unlink(self.path("data/empty.cfg"))
        result = self.sumcheck()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout,
                         MODIFIED + b"caf\xe9.bin\nbin/corvane.exe\ndata/z-last.txt\n\n" +
                         MISSING + b"data/empty.cfg\nlib/site/two.py\n")

    def test_only_missing_or_only_modified(self):
        self.make_list()
        os.unlink(self.path("lib/corvane.dll"))
        self.assertEqual(self.sumcheck().stdout, MISSING + b"lib/corvane.dll\n")
        self.write("lib/corvane.dll", b"")
        self.assertEqual(self.sumcheck().stdout, MODIFIED + b"lib/corvane.dll\n")

    def test_list_missing(self):
        result = self.sumcheck()
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (0, b"Checksums file is missing.\n", b""))

    def test_empty_lines_and_line_ends(self):
        # Blank lines anywhere, a final "\n", and "\r\n" line ends are all accepted.
        self.write_list([b"\n", self.line("data/empty.cfg"), b"\n\n",
                         self.line("data/z-last.txt").replace(b"\n", b"\r\n"),
                         b"lib/site/one.py:" + b"0" * 32 + b"\n"])
        self.assertEqual(self.sumcheck().stdout, MODIFIED + b"lib/site/one.py\n")
        self.write_list([self.line("data/empty.cfg")[:-1]])
        self.assertEqual(self.sumcheck().stdout, NO_CHANGES)

    def test_malformed_line_stops_with_traceback(self):
        for bad in (b"no colon here\n", b"a:b:" + b"0" * 32 + b"\n"):
            with self.subTest(bad=bad):
                self.write_list([self.line("data/empty.cfg"), bad, self.line("data/z-last.txt")])
                result = self.sumcheck()
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                self.assertTrue(result.stderr.startswith(b"Traceback (most recent call last):\n"),
                                result.stderr)
                self.assertIn(b"ValueError", result.stderr.splitlines()[-1])

    def test_unreadable_entries_count_as_missing(self):
        self.make_list()
        os.unlink(self.path("data/empty.cfg"))
        os.mkdir(self.path("data/empty.cfg"))                    # a directory
        os.unlink(self.path("lib/site/one.py"))
        os.mkfifo(self.path("lib/site/one.py"))                  # a pipe: must not block
        os.unlink(self.path("lib/site/two.py"))
        os.symlink("nowhere", self.path("lib/site/two.py"))      # a dangling link
        expected = [b"data/empty.cfg", b"lib/site/one.py", b"lib/site/two.py"]
        if os.geteuid() != 0:                                    # root reads any file
            os.chmod(self.path("data/large.bin"), 0)
            expected.insert(1, b"data/large.bin")
        result = self.sumcheck()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, MISSING + b"\n".join(expected) + b"\n")

    def test_findings_agree_with_md5sum(self):
        for i in range(60):
            self.write("many/f%02d.dat" % i, os.urandom(i * 997 % 70000))
        self.make_list()
        for i in range(0, 60, 7):
            self.write("many/f%02d.dat" % i, b"changed %d" % i)
        for i in range(3, 60, 11):
            os.unlink(self.path("many/f%02d.dat" % i))
        os.unlink(self.path("data/z-last.txt"))
        self.write("lib/corvane.dll", self.read("lib/corvane.dll")[:-1] + b"X")

        md5sum_list = self.path("md5.list")
        with open(md5sum_list, "wb") as out:
            for line in self.read("lib/sums").splitlines():
                path, digest = line.split(b":")
                out.write(b"%s  %s\n" % (digest, path))
        check = subprocess.run(["md5sum", "-c", md5sum_list], cwd=self.root,
                               capture_output=True, env=clean_env(LC_ALL="C"))
        changed, gone = set(), set()
        for line in check.stdout.splitlines():
            path, verdict = line.rsplit(b": ", 1)
            if verdict == b"FAILED":
                changed.add(path)
            elif verdict == b"FAILED open or read":
                gone.add(path)
            else:
                self.assertEqual(verdict, b"OK")
        self.assertTrue(changed and gone)

        out = self.sumcheck().stdout
        self.assertTrue(out.startswith(MODIFIED) and out.endswith(b"\n"))
        modified_block, missing_block = out[len(MODIFIED):-1].split(b"\n\n" + MISSING)
        self.assertEqual(set(modified_block.split(b"\n")), changed)
        self.assertEqual(set(missing_block.split(b"\n")), gone)


class PreserveTests(TreeCase):
    def preserve(self, **kwargs):
        return run("preserve", cwd=self.bin, **kwargs)

    def test_moves_changed_files_aside(self):
        self.make_list()
        self.write("lib/site/one.py", b"local edit\n")
        self.write("data/large.bin", b"smaller")
        os.unlink(self.path("data/empty.cfg"))                   # missing: skipped silently
        result = self.preserve()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, SAVED + b"data/large.bin->data/large.bin.old\n"
                         b"lib/site/one.py->lib/site/one.py.old\n")
        self.assertFalse(os.path.lexists(self.path("lib/site/one.py")))
        self.assertEqual(self.read("lib/site/one.py.old"), b"local edit\n")
        self.assertEqual(self.read("data/large.bin.old"), b"smaller")
        self.assertEqual(self.read("lib/site/two.py"), self.FILES["lib/site/two.py"])
        self.assertFalse(os.path.lexists(self.path("data/empty.cfg.old")))

    def test_no_changes_shows_nothing(self):
        self.make_list()
        result = self.preserve()
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, b"", b""))

    def test_existing_backup_is_never_replaced(self):
        self.make_list()
        self.write("lib/site/one.py", b"second edit\n")
        self.write("lib/site/one.py.old", b"first backup\n")
        self.write("data/z-last.txt", b"edited\n")
        result = self.preserve()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, SAVED + b"data/z-last.txt->data/z-last.txt.old\n\n" +
                         NOT_SAVED + b"lib/site/one.py\n")
        self.assertEqual(self.read("lib/site/one.py.old"), b"first backup\n")
        self.assertEqual(self.read("lib/site/one.py"), b"second edit\n")
        self.assertEqual(self.read("data/z-last.txt.old"), b"edited\n")
        # The same with nothing saved: only the second block.
        os.unlink(self.path("data/z-last.txt.old"))
        self.write("data/z-last.txt", self.FILES["data/z-last.txt"])
        result = self.preserve()
        self.assertEqual((result.returncode, result.stdout), (1, NOT_SAVED + b"lib/site/one.py\n"))

    def test_malformed_line_after_earlier_lines_moved(self):
        self.write("data/z-last.txt", b"edited\n")
        self.write("lib/site/one.py", b"edited\n")
        self.write_list([b"data/z-last.txt:" + b"0" * 32 + b"\n", b"lib:site:x\n",
                         b"lib/site/one.py:" + b"0" * 32 + b"\n"])
        result = self.preserve()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"")
        self.assertIn(b"Traceback", result.stderr)
        self.assertIn(b"ValueError", result.stderr.splitlines()[-1])
        self.assertEqual(self.read("data/z-last.txt.old"), b"edited\n")
        self.assertEqual(self.read("lib/site/one.py"), b"edited\n")

    def test_missing_list_is_an_error(self):
        result = self.preserve()
        self.assertEqual((result.returncode, result.stdout), (1, b""))
        self.assertIn(b"FileNotFoundError", result.stderr.splitlines()[-1])

    def test_entries_outside_the_installation_are_not_moved(self):
        outside = os.path.join(os.path.dirname(self.root),
                               os.path.basename(self.root) + "-outside.txt")
        with open(outside, "wb") as stream:
            stream.write(b"not ours")
        self.addCleanup(os.unlink, outside)
        rel = "../" + os.path.basename(outside)
        self.write_list([b"%s:%s\n" % (rel.encode(), b"0" * 32),
                         b"%s:%s\n" % (outside.encode(), b"0" * 32)])
        result = self.preserve()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, NOT_SAVED + b"%s\n%s\n" % (rel.encode(), outside.encode()))
        self.assertTrue(os.path.exists(outside))
        self.assertFalse(os.path.exists(outside + ".old"))


class MksumsTests(TreeCase):
    def test_list_format_and_order(self):
        os.symlink("corvane.dll", self.path("lib/link.dll"))     # a link to a file is listed
        os.mkfifo(self.path("data/pipe"))                        # not a regular file
        self.make_list()
        expected = sorted(list(self.FILES) + ["lib/link.dll"],
                          key=lambda p: (os.path.dirname(p), os.path.basename(p)))
        # os.walk lists a directory's files before descending, directories sorted by name.
        order = ["bin/corvane.exe", "data/empty.cfg", "data/large.bin", "data/z-last.txt",
                 "lib/corvane.dll", "lib/link.dll", "lib/site/one.py", "lib/site/two.py"]
        self.assertEqual(sorted(expected), sorted(order))
        contents = dict(self.FILES, **{"lib/link.dll": self.FILES["lib/corvane.dll"]})
        self.assertEqual(self.read("lib/sums"), b"".join(
            b"%s:%s\n" % (p.encode(), md5(contents[p]).encode()) for p in order))
        # A second run from the start directory does not list the list itself.
        first = self.read("lib/sums")
        result = run("mksums", cwd=self.bin)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.read("lib/sums"), first)
        self.assertEqual(run("sumcheck", cwd=self.bin).stdout, NO_CHANGES)

    def test_names_that_cannot_be_listed(self):
        self.write("data/a:b.txt", b"colon")
        self.write("data/line\nbreak", b"newline")
        result = run("mksums", self.root)
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"data/a:b.txt", result.stderr)
        self.assertNotIn(b"a:b.txt", self.read("lib/sums"))
        self.assertNotIn(b"break", self.read("lib/sums"))
        self.assertFalse(os.path.exists(self.path("lib/sums.new")))
        self.assertEqual(run("sumcheck", cwd=self.bin).stdout, NO_CHANGES)


class HostTests(unittest.TestCase):
    def setUp(self):
        self.assertTrue(PROGRAMS["probe"] and PROGRAMS["nomain"])

    def probe_argv(self, *args):
        result = run("probe", *args)
        self.assertEqual(result.returncode, 0, result.stderr)
        return ast.literal_eval(result.stdout.decode())

    def test_arguments_reach_the_script(self):
        self.assertEqual(self.probe_argv(), [PROGRAMS["probe"]])
        words = ["plain", "two words", 'quo"te', "back\\slash\\", "", 'tail\\"', "\ttab",
                 "caf\u00e9"]
        self.assertEqual(self.probe_argv(*words), [PROGRAMS["probe"]] + words)

    def test_at_most_twenty_words(self):
        # The program name is the first of the twenty words.
        words = ["w%d" % i for i in range(25)]
        self.assertEqual(self.probe_argv(*words), [PROGRAMS["probe"]] + words[:19])
        self.assertEqual(self.probe_argv(*words[:19]), [PROGRAMS["probe"]] + words[:19])

    def test_exception_gives_status_one(self):
        result = run("probe", "--fail")
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stderr.startswith(b"Traceback (most recent call last):\n"))
        self.assertEqual(result.stderr.splitlines()[-1], b"RuntimeError: probe asked to fail")

    def test_unbuffered_output(self):
        # The probe writes to a pipe, then waits for the end of its input: unbuffered, its
        # output can be read while it waits; buffered, only once it has ended.
        expected = (repr([PROGRAMS["probe"], "--wait"]) + "\nwritten by the script\n").encode()
        for value, early in (("1", True), ("", False), (None, False)):
            with self.subTest(PYTHONUNBUFFERED=value):
                env = clean_env() if value is None else clean_env(PYTHONUNBUFFERED=value)
                process = subprocess.Popen([PROGRAMS["probe"], "--wait"], env=env,
                                           stdin=subprocess.PIPE, stdout=subprocess.PIPE)
                try:
                    fd = process.stdout.fileno()
                    if early:
                        self.assertEqual(self.read_until(fd, expected), expected)
                    else:
                        ready, _, _ = select.select([fd], [], [], 1.0)
                        self.assertEqual(ready, [])
                    process.stdin.close()
                    self.assertEqual(process.stdout.read(), b"" if early else expected)
                    self.assertEqual(process.wait(timeout=30), 0)
                finally:
                    if process.poll() is None:
                        process.kill()
                        process.wait()
                    process.stdout.close()

    def test_inspect_without_terminal_runs_nothing(self):
        result = run("probe", stdin=None, input=b"print('from stdin')\n",
                     env=clean_env(PYTHONINSPECT="1"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn(b"from stdin", result.stdout + result.stderr)

    def read_until(self, fd, pattern, seen=b""):
        deadline = time.monotonic() + 30
        while pattern not in seen:
            left = deadline - time.monotonic()
            self.assertGreater(left, 0, "waiting for %r, got %r" % (pattern, seen))
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                try:
                    chunk = os.read(fd, 4096)
                except OSError:
                    chunk = b""
                self.assertTrue(chunk, "terminal closed, got %r" % seen)
                seen += chunk
        return seen

    def test_inspect_on_terminal_reads_statements(self):
        for args, inspect in (((), "1"), (("--fail",), "yes")):
            with self.subTest(args=args):
                master, slave = pty.openpty()
                process = subprocess.Popen([PROGRAMS["probe"], *args], stdin=slave, stdout=slave,
                                           stderr=slave, env=clean_env(PYTHONINSPECT=inspect))
                os.close(slave)
                try:
                    seen = self.read_until(master, b">>> ")
                    self.assertIn(b"Traceback" if args else b"probe", seen)
                    os.write(master, b"print(6 * 7)\n")
                    self.read_until(master, b"42")
                    os.write(master, b"\x04")                   # end of input
                    # The session's result is the status, whatever the script did.
                    self.assertEqual(process.wait(timeout=30), 0)
                finally:
                    if process.poll() is None:
                        process.kill()
                        process.wait()
                    os.close(master)

    def test_exit_in_the_session_ends_it_with_its_status(self):
        for statement, status in ((b"import sys; sys.exit(3)", 3), (b"raise SystemExit(0)", 0),
                                  (b"raise SystemExit('bye')", 1)):
            with self.subTest(statement=statement):
                master, slave = pty.openpty()
                process = subprocess.Popen([PROGRAMS["probe"]], stdin=slave, stdout=slave,
                                           stderr=slave, env=clean_env(PYTHONINSPECT="1"))
                os.close(slave)
                try:
                    self.read_until(master, b">>> ")
                    os.write(master, statement + b"\n")
                    # No end of input is sent: the statement alone must end the program.
                    self.assertEqual(process.wait(timeout=30), status)
                finally:
                    if process.poll() is None:
                        process.kill()
                        process.wait()
                    os.close(master)

    def test_module_search_path_comes_not_from_the_environment(self):
        # A planted "encodings" package would be imported while the interpreter starts,
        # and a planted home has no standard modules at all.
        planted = tempfile.mkdtemp(prefix="scripthost-planted-")
        self.addCleanup(shutil.rmtree, planted)
        os.mkdir(os.path.join(planted, "encodings"))
        with open(os.path.join(planted, "encodings", "__init__.py"), "w") as stream:
            stream.write("raise SystemExit('planted module ran')\n")
        for variable in ("PYTHONPATH", "PYTHONHOME"):
            with self.subTest(variable=variable):
                result = run("probe", env=clean_env(**{variable: planted}))
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, repr([PROGRAMS["probe"]]).encode() + b"\n")

    def test_missing_main_module_is_fatal(self):
        result = run("nomain")
        self.assertEqual(result.returncode, -signal.SIGABRT)
        self.assertIn(b"__main__ not frozen", result.stderr)

    def test_message_box_window_and_fallback(self):
        bindir = tempfile.mkdtemp(prefix="scripthost-zenity-")
        self.addCleanup(shutil.rmtree, bindir)
        record = os.path.join(bindir, "args")
        fake = os.path.join(bindir, "zenity")
        env = clean_env(DISPLAY=":99", PATH=bindir + os.pathsep + os.environ.get("PATH", ""))
        for status, shown in ((0, True), (1, True), (255, False)):
            with self.subTest(status=status):
                with open(fake, "w") as stream:
                    stream.write('#!/bin/sh\nprintf "%%s\\n" "$@" > "%s"\nexit %d\n' % (record, status))
                os.chmod(fake, stat.S_IRWXU)
                result = run("probe", "<b>&", env=env)
                self.assertEqual(result.returncode, 0, result.stderr)
                text = repr([PROGRAMS["probe"], "<b>&"])
                self.assertEqual(result.stdout, b"" if shown else text.encode() + b"\n")
                with open(record) as stream:
                    args = stream.read().split("\n")
                self.assertIn("--no-markup", args)
                self.assertEqual(args[args.index("--text") + 1], text)


if __name__ == "__main__":
    unittest.main()
