#!/usr/bin/env python3
"""The Debian package, made and opened as a user's system would.

    check_package.py BUILD_DIR

Makes the package with CPack from the built tree (into a temporary folder),
lists its files against the install rules, reads the dependencies
dpkg-shlibdeps found, validates the unpacked tree with appstreamcli and its
desktop entry with desktop-file-validate, then starts the unpacked program as
the desktop entry starts it: the entry's Exec line run with a fresh home, so
that the program makes its data folder, starts in it with no settings and no
playlist, and closes on SIGTERM with status 0, having written both files
there. Under Xvfb when it is installed, else on Qt's off-screen platform.
Nothing is installed on this machine.
"""
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

ICONS = "usr/share/icons/hicolor/"
EXPECTED_FILES = {
    "usr/bin/melodiane",
    "usr/share/applications/melodiane.desktop",
    "usr/share/metainfo/org.melodiane.Melodiane.metainfo.xml",
    ICONS + "scalable/apps/melodiane.svg",
} | {ICONS + "%dx%d/apps/melodiane.png" % (n, n) for n in (32, 48, 64, 128, 256)}
# The libraries the program links must come out as package dependencies.
EXPECTED_DEPENDS = ["libqt6widgets6", "libqt6gui6", "libqt6core6", "libmpg123-0", "libsdl2-2.0-0"]


def fail(message):
    raise SystemExit("FAILED: " + message)


def run(*args, **kwargs):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kwargs).stdout


def make_package(build, out):
    run("cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out)
    debs = [name for name in os.listdir(out) if name.endswith(".deb")]
    if len(debs) != 1:
        fail("CPack made %s" % debs)
    return os.path.join(out, debs[0])


def check_contents(deb):
    listed = run("dpkg-deb", "--contents", deb).splitlines()
    files = {line.split()[-1].removeprefix("./") for line in listed if not line.startswith("d")}
    if files != EXPECTED_FILES:
        fail("the package holds %s, not %s" % (sorted(files), sorted(EXPECTED_FILES)))
    depends = run("dpkg-deb", "--field", deb, "Depends")
    names = {item.split()[0] for item in depends.replace("|", ",").split(",") if item.strip()}
    missing = [name for name in EXPECTED_DEPENDS if name not in names]
    if missing:
        fail("Depends (%s) lacks %s" % (depends.strip(), missing))


def check_icon_sizes(root):
    for path in EXPECTED_FILES:
        if path.endswith(".png"):
            size = int(path.split("/")[-3].split("x")[0])
            with open(os.path.join(root, path), "rb") as f:
                width, height = struct.unpack(">II", f.read(24)[16:24])
            if (width, height) != (size, size):
                fail("%s is %dx%d" % (path, width, height))


def exec_arguments(desktop_file):
    """The Exec line's arguments, unquoted as the desktop entry rules say:
    the value's own escapes first, then the quoting of the arguments."""
    with open(desktop_file, encoding="utf-8") as f:
        line = next(line for line in f if line.startswith("Exec="))
    value = line[len("Exec="):].rstrip("\n").replace("\\\\", "\\")
    arguments, current, quoted, i = [], None, False, 0
    while i < len(value):
        c = value[i]
        if quoted and c == "\\" and i + 1 < len(value) and value[i + 1] in '"`$\\':
            current = (current or "") + value[i + 1]
            i += 1
        elif c == '"':
            quoted = not quoted
            current = current or ""
        elif c == " " and not quoted:
            if current is not None:
                arguments.append(current)
            current = None
        else:
            current = (current or "") + c
        i += 1
    if current is not None:
        arguments.append(current)
    return arguments


def start_and_close(root, work):
    home = os.path.join(work, "home")
    os.mkdir(home)
    data = os.path.join(home, ".local", "share", "melodiane")
    runtime = os.path.join(work, "runtime")
    os.mkdir(runtime, 0o700)
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime, SDL_AUDIODRIVER="dummy",
               PATH=os.path.join(root, "usr", "bin") + os.pathsep + os.environ["PATH"])
    env.pop("XDG_DATA_HOME", None)
    command = exec_arguments(os.path.join(root, "usr/share/applications/melodiane.desktop"))
    if shutil.which("xvfb-run"):
        env["QT_QPA_PLATFORM"] = "xcb"
        command = ["xvfb-run", "--auto-servernum", "--server-args=-screen 0 1024x768x24"] + command
    else:
        env["QT_QPA_PLATFORM"] = "offscreen"
    program = subprocess.Popen(command, cwd=work, env=env, start_new_session=True)
    try:
        settings = os.path.join(data, "Froulard.ini")
        deadline = time.monotonic() + 60
        # The start-up writes the settings it found missing, the last of them
        # the equalizer's switch.
        while not (os.path.exists(settings) and b"activateeq" in open(settings, "rb").read()):
            if program.poll() is not None:
                fail("the program ended during its start-up with %d" % program.returncode)
            if time.monotonic() > deadline:
                fail("the program did not start in %s" % data)
            time.sleep(0.05)
        # xvfb-run passes no signal on: the program is the session's other process.
        target = program.pid
        if command[0] == "xvfb-run":
            found = run("pgrep", "-s", str(program.pid), "-x", "melodiane").split()
            if len(found) != 1:
                fail("melodiane processes in the session: %s" % found)
            target = int(found[0])
        os.kill(target, signal.SIGTERM)
        status = program.wait(timeout=60)
    finally:
        if program.poll() is None:
            os.killpg(program.pid, signal.SIGKILL)
            program.wait()
    if status != 0:
        fail("the program closed with status %d" % status)
    if sorted(os.listdir(data)) != ["Froulard.ini", "Froulard.m3u"]:
        fail("the data folder holds %s" % sorted(os.listdir(data)))


def check_desktop_entry(path):
    """The entry as the system's own validator reads it: errors fail, and so
    do warnings, which desktops act on as well."""
    result = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
    if result.returncode != 0 or result.stdout.strip() or result.stderr.strip():
        fail("desktop-file-validate: %s%s" % (result.stdout, result.stderr))


def main():
    build = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="melodiane-package-")
    try:
        deb = make_package(build, os.path.join(work, "out"))
        check_contents(deb)
        root = os.path.join(work, "root")
        run("dpkg", "--extract", deb, root)
        check_icon_sizes(root)
        run("appstreamcli", "validate-tree", "--no-net", root)
        check_desktop_entry(os.path.join(root, "usr/share/applications/melodiane.desktop"))
        start_and_close(root, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("package %s: contents, dependencies, metadata, start and close checked"
          % os.path.basename(deb))


if __name__ == "__main__":
    main()
