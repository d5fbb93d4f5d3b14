"""Prints, from Google Benchmark JSON files, how each benchmark grows when its size doubles
(time at 2N over time at N; linear work gives 2.0) and the link's ratios to the bare loop."""
import json
import sys
from collections import defaultdict

LIMIT = 2.2

def main(paths):
    growth = defaultdict(dict)
    counters = []
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate" or "error_occurred" in b:
                continue
            parts = b["name"].split("/")
            sizes = [p for p in parts[1:] if p.isdigit()]
            if sizes:
                # Benchmarks that measure the process's CPU time are judged by it.
                key = "cpu_time" if "process_time" in b["name"] else "real_time"
                growth[parts[0]][int(sizes[0])] = b[key]
            for key in ("ratio_to_bare", "download_ratio_to_bare", "peak_rss_bytes_per_record", "bytes_per_record"):
                if key in b:
                    counters.append((b["name"], key, b[key]))
    worst = 0.0
    print("%-40s %12s %12s %8s" % ("benchmark", "N", "2N", "2N/N"))
    for name in sorted(growth):
        sizes = sorted(growth[name])
        for small, large in zip(sizes, sizes[1:]):
            if large != 2 * small:
                continue
            ratio = growth[name][large] / growth[name][small]
            worst = max(worst, ratio)
            flag = "" if ratio <= LIMIT else "  above %.1f" % LIMIT
            print("%-40s %12d %12d %8.2f%s" % (name, small, large, ratio, flag))
    for name, key, value in counters:
        print("%-40s %s = %.3f" % (name, key, value))
    print("worst growth on doubling: %.2f (limit %.1f)" % (worst, LIMIT))

if __name__ == "__main__":
    main(sys.argv[1:])
