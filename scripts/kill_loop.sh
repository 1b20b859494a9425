#!/usr/bin/env bash
# Kills the real program with SIGKILL at random moments while it writes its
# files, and checks them after every kill.
#
#   kill_loop.sh BINARY [ROUNDS] [SEED]
#
# The program starts in a temporary directory holding a 100,000-entry
# Froulard.m3u (with bare line feeds, so that the program's own rewrite, with
# CR LF, differs from it) and a short Froulard.ini. Two rounds in three let the
# start-up finish, send SIGTERM (the program then closes as when its window is
# closed, writing both files) and SIGKILL it after a random delay within the
# time a whole close takes; the third round kills it at a random moment of the
# start-up, while it writes its settings key by key. After every kill:
#   - Froulard.m3u is the old file or the new one, whole;
#   - Froulard.ini is the file after some prefix of the program's key writes;
#   - at most one temporary file (.<name>.tmp-*) of each file is left, the one
#     of the writer just killed: the next writer removes it.
# A last clean start and close must leave no temporary file. Exit status 0
# when every check holds.
set -euo pipefail
binary=$(realpath "$1")
exec python3 - "$binary" "${2:-16}" "${3:-1}" <<'EOF'
import os, random, signal, subprocess, sys, tempfile, time, shutil

binary, rounds, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(seed)
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy")
work = tempfile.mkdtemp(prefix="melodiane-kill-")

entries = 100000
lines = ["#EXTM3U"]
for i in range(entries):
    lines.append("#EXTINF:%d,Artiste %d - Chanson %d" % (120 + i % 300, i % 97, i))
    lines.append("/musique/artiste%d/chanson%d.mp3" % (i % 97, i))
old_m3u = ("\n".join(lines) + "\n").encode()
new_m3u = ("\r\n".join(lines) + "\r\n").encode()

first_ini = [("volume", "150"), ("balance", "-20"), ("repeat", "1")]
fonts = [("fontfacename", "Arial"), ("fontheight", "-12")] + [
    (k, "0") for k in ("fontclipprecision", "fontescapement", "fontitalic", "fontorientation",
                       "fontoutprecision", "fontpitchandfamily", "fontquality",
                       "fontstrikeout", "fontunderline")] + [("fontweight", "400"),
                                                             ("fontwidth", "0")]
writes = (first_ini + fonts + [("eq%d" % i, "0") for i in range(10)] + [("activateeq", "0")]
          # the close: the sliders clamp volume and balance
          + [("volume", "100"), ("balance", "0"), ("repeat", "1")])

def render(keys):
    return ("[Init]\r\n" + "".join("%s=%s\r\n" % kv for kv in keys)).encode()

# Every settings file a prefix of the writes leaves, in order.
states = [render(first_ini)]
keys = list(first_ini)
for key, value in writes:
    for i, (k, _) in enumerate(keys):
        if k == key:
            keys[i] = (key, value)
            break
    else:
        keys.append((key, value))
    states.append(render(keys))
start_done = states[len(first_ini) + len(fonts) + 11]  # every start-up write done
final_ini = states[-1]

def path(name):
    return os.path.join(work, name)

def read(name):
    with open(path(name), "rb") as f:
        return f.read()

def temporaries():
    found = {}
    for name in os.listdir(work):
        for target in ("Froulard.m3u", "Froulard.ini"):
            if name.startswith("." + target + ".tmp-"):
                found[target] = found.get(target, 0) + 1
    return found

def reset():
    with open(path("Froulard.m3u"), "wb") as f:
        f.write(old_m3u)
    with open(path("Froulard.ini"), "wb") as f:
        f.write(render(first_ini))

def spawn():
    return subprocess.Popen([binary], cwd=work, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)

def wait_started(program, timeout=60):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if program.poll() is not None:
            raise SystemExit("the program ended during its start-up")
        try:
            if read("Froulard.ini") == start_done:
                return
        except FileNotFoundError:
            pass
        time.sleep(0.005)
    raise SystemExit("the start-up did not finish")

def clean_run():
    reset()
    begun = time.monotonic()
    program = spawn()
    wait_started(program)
    started = time.monotonic() - begun
    # The playlist is read after the settings; give it time before closing.
    time.sleep(0.2)
    closing = time.monotonic()
    program.send_signal(signal.SIGTERM)
    status = program.wait(timeout=60)
    return status, started, time.monotonic() - closing

failures = []
try:
    status, start_time, close_time = clean_run()
    if status != 0 or read("Froulard.m3u") != new_m3u or read("Froulard.ini") != final_ini:
        raise SystemExit("a clean start and close did not write the expected files")
    print("clean run: start-up %.2f s, close %.2f s" % (start_time, close_time))

    m3u_seen = {"old": 0, "new": 0}
    ini_seen = []
    for round in range(rounds):
        reset()
        program = spawn()
        at_start = round % 3 == 2
        if at_start:
            delay = rng.uniform(0, start_time)
            time.sleep(delay)
            moment = "start-up +%.3f s" % delay
        else:
            wait_started(program)
            program.send_signal(signal.SIGTERM)
            delay = rng.uniform(0, close_time * 1.1)
            time.sleep(delay)
            moment = "close +%.3f s" % delay
        program.kill()
        program.wait()
        m3u = read("Froulard.m3u")
        ini = read("Froulard.ini")
        temps = temporaries()
        which = "old" if m3u == old_m3u else "new" if m3u == new_m3u else None
        state = states.index(ini) if ini in states else None
        line = "round %2d, killed at %-18s playlist %-4s settings after %s of %d writes, temporary files %s" % (
            round + 1, moment, which or "BAD", "BAD" if state is None else state, len(writes),
            sum(temps.values()))
        print(line)
        if which is None:
            failures.append("round %d: the playlist is neither the old file nor the new one" % (round + 1))
        else:
            m3u_seen[which] += 1
        if state is None:
            failures.append("round %d: the settings file is no prefix of the writes" % (round + 1))
        else:
            ini_seen.append(state)
        if any(count > 1 for count in temps.values()):
            failures.append("round %d: temporary files accumulate: %s" % (round + 1, temps))

    status, _, _ = clean_run()
    left = temporaries()
    if status != 0 or left:
        failures.append("the last clean run left %s (status %d)" % (left, status))
    print("playlist after the kills: %d old, %d new; settings states seen: %s" % (
        m3u_seen["old"], m3u_seen["new"], sorted(set(ini_seen))))
finally:
    shutil.rmtree(work, ignore_errors=True)

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
EOF
