"""How big the report pages are and how long they take to open.

    python3 bench/page_opening.py CHROMIUM [--rounds N] PAGE.html [PAGE.html ...]

Opens every page in one driven headless Chromium, round after round with
the pages alternating (the machines are shared and noisy), and prints each
page's size and the median of its opening times: from the start of the
navigation to the first frame painted after the page has drawn itself
(tests/browser/driven_chromium.py, Browser.opening_time_ms). Give the pages
of two builds side by side to compare them.
"""

import argparse
import os
import statistics
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "browser"))
from driven_chromium import Browser  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("chromium")
    parser.add_argument("pages", nargs="+")
    parser.add_argument("--rounds", type=int, default=9)
    args = parser.parse_args()
    times = {page: [] for page in args.pages}
    with Browser(args.chromium) as browser:
        browser.opening_time_ms("file://" + os.path.abspath(args.pages[0]))  # the renderer starts once
        for _ in range(args.rounds):
            for page in args.pages:
                times[page].append(browser.opening_time_ms("file://" + os.path.abspath(page)))
        browser.check_no_errors()
    print(f"{'page':60} {'bytes':>9} {'median ms':>10} {'min ms':>8}")
    for page, t in times.items():
        print(f"{page:60} {os.path.getsize(page):>9} {statistics.median(t):>10.1f} {min(t):>8.1f}")


if __name__ == "__main__":
    main()
