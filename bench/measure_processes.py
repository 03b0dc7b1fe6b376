#!/usr/bin/env python3
"""Samples the CPU and memory of a program and of its process tree.

Usage: measure_processes.py <label> <seconds> <pids command> <tree pids command>
The two commands are bash commands that print process ids (they are run again
every second, so processes that come and go are counted). Prints one line:
"<label> cpu=<% of a core, alone> cpu_tree=<%> pss_kb=... pss_tree_kb=...
rss_kb=... rss_tree_kb=... processes=<n>" with CPU over the whole window (from
each thread's schedstat, exact nanoseconds) and memory as the mean of the
once-a-second samples (PSS: the process's share of the pages it maps).
Not a test: the figures depend on the machine and on what else runs on it.
"""
import glob, subprocess, sys, time

label, seconds, alone_cmd, tree_cmd = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]


def pids(cmd):
    out = subprocess.run(["bash", "-c", cmd], capture_output=True, text=True).stdout
    return sorted({int(p) for p in out.split()})


def thread_times(pid):
    """Nanoseconds on a CPU of each thread of pid (schedstat: exact, not in clock ticks)."""
    times = {}
    for path in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            with open(path) as f:
                times[(pid, int(path.split("/")[4]))] = int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return times


def memory(pid):
    pss = rss = 0
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith("Pss:"):
                    pss = int(line.split()[1])
                elif line.startswith("Rss:"):
                    rss = int(line.split()[1])
    except OSError:
        pass
    return pss, rss


alone, tree = pids(alone_cmd), pids(tree_cmd)
if not alone:
    sys.exit("%s: no process found" % label)
t0 = time.monotonic()
first, last = {}, {}
for p in set(alone) | set(tree):
    first.update(thread_times(p))
last.update(first)
alone_set, tree_set = set(alone), set(tree) | set(alone)
samples = []
while time.monotonic() - t0 < seconds:
    time.sleep(1)
    alone, tree = pids(alone_cmd), pids(tree_cmd)
    alone_set |= set(alone)
    tree_set |= set(tree) | set(alone)
    for p in set(alone) | set(tree):
        for tid, ns in thread_times(p).items():
            first.setdefault(tid, 0)  # a thread born in the window counts from its start
            last[tid] = ns
    mem_alone = [memory(p) for p in alone]
    mem_tree = [memory(p) for p in set(tree) | set(alone)]
    samples.append((sum(m[0] for m in mem_alone), sum(m[0] for m in mem_tree),
                    sum(m[1] for m in mem_alone), sum(m[1] for m in mem_tree)))
elapsed = time.monotonic() - t0


def cpu(group):
    used = sum(last[t] - first[t] for t in last if t[0] in group)
    return 100.0 * used / 1e9 / elapsed


mean = [sum(s[i] for s in samples) // len(samples) for i in range(4)]
print("%s cpu=%.3f cpu_tree=%.3f pss_kb=%d pss_tree_kb=%d rss_kb=%d rss_tree_kb=%d processes=%d"
      % (label, cpu(alone_set), cpu(tree_set), mean[0], mean[1], mean[2], mean[3], len(tree_set)))
