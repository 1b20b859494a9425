#!/usr/bin/env python3
"""Prints one table from the JSON results of the benchmarks (scripts/bench.sh).

    bench_report.py RESULTS_DIR

RESULTS_DIR holds one NAME.json per benchmark program, as written by
--benchmark_format=json. Each row: the figure, its target, the baseline
measured in the same run and the figure's ratio to it. A figure the rules
below do not name is printed with its time and no target.
"""
import json
import os
import sys

# What each benchmark reports: (program, benchmark) -> rule, or a list of rules
# for one row each. A rule names the counter that is the figure and its unit,
# a label for any row but the first, the target (below: figure < target;
# at_most: figure <= target; otherwise figure >= target, or a ratio_target the
# ratio must reach, or a ratio_at_most it must not pass), and the baseline: a
# counter of the same benchmark, or another benchmark's counter
# ("program/benchmark:counter").
MS = "ms"
CORE = "% of a core"
WAKEUPS = "wakeups/s"


def idle_rules():
    # Paused or stopped, nothing may poll: at most a wakeup a second, all
    # threads together, and almost no processor time.
    return [{"figure": "cpu_percent", "unit": CORE, "target": 0.02, "at_most": True},
            {"figure": "wakeups_per_s", "unit": WAKEUPS, "label": "wakeups", "target": 1,
             "at_most": True}]


def start_rules():
    return [{"figure": "worst_ms", "unit": MS, "target": 50, "at_most": True},
            {"figure": "mean_ms", "unit": MS, "label": "mean"}]


def pause_rules():
    return [{"figure": "worst_ms", "unit": MS}, {"figure": "mean_ms", "unit": MS, "label": "mean"}]


# A player and the server it plays on; with a baseline (a benchmark of
# bench_server_cpu), each figure beside the baseline's, and with a target the
# two together no more than the baseline within this machine's noise.
def server_rules(baseline=None, target=True):
    rows = [("together_percent", CORE, None, " and the server"),
            ("player_percent", CORE, "player", ""),
            ("server_percent", CORE, "server's share", "'s server"),
            ("player_wakeups_per_s", WAKEUPS, "wakeups", ""),
            ("server_wakeups_per_s", WAKEUPS, "server wakeups", "'s server")]
    rules = []
    for figure, unit, label, suffix in rows:
        rule = {"figure": figure, "unit": unit}
        if label:
            rule["label"] = label
        if baseline:
            rule["baseline"] = "bench_server_cpu/%s:%s" % (baseline, figure)
            rule["baseline_name"] = "mpg123" + suffix
        rules.append(rule)
    if baseline and target:
        rules[0]["ratio_at_most"] = 1.15
    return rules


def floor_rule(target_ms):
    return {"figure": "ms", "unit": MS, "target": target_ms, "below": True,
            "baseline": "floor_ms", "baseline_name": "floor"}


RULES = {
    # Decoder library
    ("bench_decode", "BM_Mpg123Alone"): {"figure": "x_real_time", "unit": "x real time"},
    ("bench_decode", "BM_LibraryEqualizerOff"): {
        "figure": "x_real_time", "unit": "x real time", "ratio_target": 0.95,
        "baseline": "bench_decode/BM_Mpg123Alone:x_real_time", "baseline_name": "libmpg123 alone"},
    ("bench_decode", "BM_LibraryEqualizerAllBands"): {
        "figure": "x_real_time", "unit": "x real time", "target": 200, "below": False,
        "baseline": "bench_decode/BM_Mpg123Alone:x_real_time", "baseline_name": "libmpg123 alone"},
    ("bench_cpu", "BM_Mpg123PlayerDecoding"): {
        "figure": "cpu_percent_per_audio_second", "unit": "% of a core"},
    ("bench_cpu", "BM_PlayingWithEqualizer"): {
        "figure": "cpu_percent", "unit": "% of a core", "target": 2, "below": True,
        "baseline": "bench_cpu/BM_Mpg123PlayerDecoding:cpu_percent_per_audio_second",
        "baseline_name": "mpg123 player"},
    ("bench_file_info", "BM_TagLibFast"): {"figure": "files_per_s", "unit": "files/s"},
    ("bench_file_info", "BM_GetFileInfo"): {
        "figure": "files_per_s", "unit": "files/s", "ratio_target": 1.0,
        "baseline": "bench_file_info/BM_TagLibFast:files_per_s", "baseline_name": "TagLib"},
    # The same library as VBMP3.DLL under Wine, beside the Linux one
    ("bench_decode_windows", "BM_Mpg123Alone"): {"figure": "x_real_time", "unit": "x real time"},
    ("bench_decode_windows", "BM_LibraryEqualizerOff"): {
        "figure": "x_real_time", "unit": "x real time", "ratio_target": 0.9,
        "baseline": "bench_decode/BM_LibraryEqualizerOff:x_real_time",
        "baseline_name": "the Linux library"},
    ("bench_gap", "BM_GapAtNaturalEnd"): {
        "figure": "worst_gap_ms", "unit": MS, "target": 10, "below": True},
    ("bench_gap", "BM_GapAtNaturalEndResampled"): {
        "figure": "worst_gap_ms", "unit": MS, "target": 10, "below": True},
    ("bench_start", "BM_PlayFromStopped"): start_rules(),
    ("bench_start", "BM_ResumeFromPaused"): start_rules(),
    ("bench_start", "BM_PauseHeard"): [
        {"figure": "worst_ms", "unit": MS, "baseline": "bench_start/BM_Mpg123PauseHeard:worst_ms",
         "baseline_name": "mpg123 -R"},
        {"figure": "mean_ms", "unit": MS, "label": "mean",
         "baseline": "bench_start/BM_Mpg123PauseHeard:mean_ms", "baseline_name": "mpg123 -R"}],
    ("bench_start", "BM_Mpg123PauseHeard"): pause_rules(),
    ("bench_start", "BM_PlayFromStoppedOnPipeWire"): start_rules(),
    ("bench_start", "BM_PlayFromStoppedOnPipeWireByPulse"): start_rules(),
    ("bench_start", "BM_ResumeFromPausedOnPipeWire"): start_rules(),
    ("bench_start", "BM_PauseHeardOnPipeWire"): pause_rules(),
    ("bench_start", "BM_PauseHeardOnPipeWireByPulse"): pause_rules(),
    # Playing on a sound server: the player and the server together
    ("bench_server_cpu", "BM_Mpg123OnServer"): server_rules(),
    ("bench_server_cpu", "BM_PlayingOnServer"): server_rules("BM_Mpg123OnServer"),
    ("bench_server_cpu", "BM_PausedOnServer"): server_rules(),
    ("bench_server_cpu", "BM_StoppedOnServer"): server_rules(),
    ("bench_server_cpu", "BM_Mpg123OnPipeWire"): server_rules(),
    ("bench_server_cpu", "BM_PlayingOnPipeWire"): server_rules("BM_Mpg123OnPipeWire"),
    ("bench_server_cpu", "BM_PlayingOnPipeWireDriver"): server_rules("BM_Mpg123OnPipeWire"),
    ("bench_drop_files", "BM_Drop10000Files"): {
        "figure": "ms", "unit": MS, "ratio_at_most": 1.5,
        "baseline": "add_ms", "baseline_name": "Ajouter"},
    # The whole program
    ("bench_player_cpu", "BM_Mpg123SameFile"): {"figure": "cpu_percent", "unit": "% of a core"},
    ("bench_player_cpu", "BM_ProgramPlaying"): [
        {"figure": "cpu_percent", "unit": CORE, "ratio_at_most": 3,
         "baseline": "bench_player_cpu/BM_Mpg123SameFile:cpu_percent",
         "baseline_name": "mpg123 player"},
        {"figure": "wakeups_per_s", "unit": WAKEUPS, "label": "wakeups"}],
    ("bench_player_cpu", "BM_ProgramPaused"): idle_rules(),
    ("bench_player_cpu", "BM_ProgramStopped"): idle_rules(),
}


def rules_for(program, name, counters):
    if program == "bench_server_cpu" and name.startswith("BM_Peer_"):
        # Debian's other players: playing beside mpg123, paused and stopped alone.
        return server_rules("BM_Mpg123OnServer" if name.endswith("_Playing") else None,
                            target=False)
    rule = RULES.get((program, name))
    if isinstance(rule, list):
        return rule
    if rule is not None:
        return [rule]
    if "peak_mb" in counters:  # the large playlists' memory, beside the file they read
        rule = {"figure": "peak_mb", "unit": "MB", "baseline": "file_mb",
                "baseline_name": "playlist file"}
        if "target_mb" in counters:
            rule.update(target=counters["target_mb"], below=True)
        return [rule]
    if "ms" in counters:  # the playlist benchmarks: ms, floor_ms, target_ms
        rule = {"figure": "ms", "unit": MS}
        if "target_ms" in counters:
            rule.update(target=counters["target_ms"], below=True)
        if "floor_ms" in counters:
            rule.update(baseline="floor_ms", baseline_name="floor")
        return [rule]
    return [{"figure": None, "unit": MS}]


def number(value):
    if value is None:
        return ""
    if value >= 100:
        return "%.0f" % value
    if value >= 10:
        return "%.1f" % value
    if value >= 1:
        return "%.2f" % value
    return "%.3g" % value


# The figure, target, verdict, baseline and ratio of one rule.
def row(rule, bench, counters, results):
    if rule["figure"] is None:
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[bench.get("time_unit", "ns")]
        value = bench["real_time"] * scale
    else:
        value = counters.get(rule["figure"])
    figure = "%s %s" % (number(value), rule["unit"])

    baseline = None
    spec = rule.get("baseline")
    if spec and ":" in spec:
        where, counter = spec.split(":")
        other = results.get(tuple(where.split("/")))
        baseline = other.get(counter) if other else None
    elif spec:
        baseline = counters.get(spec)
    ratio = value / baseline if value is not None and baseline else None
    base_text = ("%s %s (%s)" % (number(baseline), rule["unit"], rule.get("baseline_name", ""))
                 if baseline is not None else "")

    target_text, met = "", None
    if "target" in rule and value is not None:
        target = rule["target"]
        if rule.get("below"):
            sign, met = "< ", value < target
        elif rule.get("at_most"):
            sign, met = "<= ", value <= target
        else:
            sign, met = ">= ", value >= target
        target_text = sign + "%s %s" % (number(target), rule["unit"])
    elif "ratio_target" in rule and ratio is not None:
        target_text = "ratio >= %s" % number(rule["ratio_target"])
        met = ratio >= rule["ratio_target"]
    elif "ratio_at_most" in rule and ratio is not None:
        target_text = "ratio <= %s" % number(rule["ratio_at_most"])
        met = ratio <= rule["ratio_at_most"]
    verdict = "" if met is None else ("yes" if met else "NO")
    return (figure, target_text, verdict, base_text, "" if ratio is None else "%.2f" % ratio)


def main():
    folder = sys.argv[1]
    results = {}
    order = []
    machine = None
    for file in sorted(os.listdir(folder)):
        if not file.endswith(".json"):
            continue
        program = file[:-5]
        with open(os.path.join(folder, file)) as f:
            data = json.load(f)
        machine = machine or data.get("context")
        for bench in data.get("benchmarks", []):
            # NAME/ARGUMENT.../iterations:N/real_time: the rules go by NAME,
            # and the arguments (a text encoding, for one) tell its runs apart.
            parts = bench["name"].split("/")
            name = parts[0]
            arguments = [p for p in parts[1:] if ":" not in p and not p.endswith("_time")]
            results.setdefault((program, name), bench)
            order.append((program, name, "/".join([name] + arguments), bench))

    rows = []
    failed = 0
    for program, name, name_shown, bench in order:
        if bench.get("error_occurred"):
            rows.append((program, name_shown, "error: " + bench.get("error_message", ""), "", "", "", ""))
            failed += 1
            continue
        counters = {k: v for k, v in bench.items() if isinstance(v, (int, float))}
        short = name_shown[3:] if name_shown.startswith("BM_") else name_shown
        # A benchmark's label (the sound driver SDL took, for one) goes with its first row.
        note = " [%s]" % bench["label"] if bench.get("label") else ""
        for rule in rules_for(program, name, counters):
            row_name = short + (" (%s)" % rule["label"] if "label" in rule else note)
            rows.append((program, row_name) + row(rule, bench, counters, results))

    header = ("Program", "Benchmark", "Figure", "Target", "Met", "Baseline (same run)", "Ratio")
    print("| " + " | ".join(header) + " |")
    print("|" + "|".join("---" for _ in header) + "|")
    for r in rows:
        print("| " + " | ".join(r) + " |")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
