"""Test support for the Python tools: runs the built program on decks made from the bundled solar
model, in a temporary folder.

A test module that needs numpy or the program imports this first: without them it exits with
status 77, which CTest reports as a skipped test with the reason on its output.
"""
import os
import subprocess
import sys

SOURCE = os.environ.get("ATMOTAB_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
TOOLS = os.path.join(SOURCE, "tools")
PACKAGE = os.path.join(SOURCE, "python")  # the atmotab package, used from the checkout
EXAMPLES = os.path.join(SOURCE, "examples")
BINARY = os.environ.get("ATMOTAB_BINARY") or os.path.join(SOURCE, "build", "atmotab")

try:
    import numpy  # noqa: F401
except ImportError:
    print(f"skipped: {sys.executable} has no numpy (Debian: apt-get install python3-numpy "
          "python3-scipy python3-matplotlib)")
    sys.exit(77)
if not os.access(BINARY, os.X_OK):
    print(f"skipped: no atmotab program at {BINARY} (build it, or set ATMOTAB_BINARY)")
    sys.exit(77)
sys.path.insert(0, PACKAGE)

# A short edge list: 8 edges (nm), 7 intervals, 21 frequencies, 500 nm inside.
SHORT_EDGES = "91.18 200. 364.70 450. 550. 820.58 1458.8 3000. 0\n"


def solar_cards(depths=None, title="sun", t_scale=1.0):
    """The cards of examples/sun.deck through BEGIN: its first DEPTHS depths (all when None),
    TITLE replaced, every temperature multiplied by T_SCALE."""
    with open(os.path.join(EXAMPLES, "sun.deck")) as f:
        cards = f.read().splitlines()
    out, k = [], 0
    while k < len(cards):
        card = cards[k]
        if card.startswith("TITLE"):
            out.append("TITLE " + title)
        elif card.startswith("READ DECK"):
            n = int(card.split()[2])
            keep = n if depths is None else min(depths, n)
            out.append(f"READ DECK {keep} " + card.split(None, 3)[3])
            for row in cards[k + 1:k + 1 + keep]:
                fields = row.split()
                fields[1] = f"{float(fields[1]) * t_scale:.1f}"
                out.append(" ".join(fields))
            k += n
        elif card == "END":
            break
        else:
            out.append(card)
        k += 1
    return "\n".join(out) + "\n"


def write(path, text):
    with open(path, "w") as f:
        f.write(text)
    return path


def run_program(folder, cards, name="run", edges_text=SHORT_EDGES, check=True, extra=()):
    """Runs atmotab on CARDS in FOLDER, with the options EXTRA; returns (paths by 'table',
    'maxima', 'listing', 'edges', 'deck', the finished process)."""
    p = {key: os.path.join(folder, f"{name}.{key}") for key in
         ("table", "maxima", "listing", "edges", "deck")}
    write(p["edges"], edges_text)
    write(p["deck"], cards)
    with open(p["deck"]) as deck, open(p["listing"], "w") as listing:
        proc = subprocess.run([BINARY, "--edges", p["edges"], "--table", p["table"], "--maxima",
                               p["maxima"], *extra], stdin=deck, stdout=listing,
                              stderr=subprocess.PIPE,
                              text=True)
    if check and proc.returncode != 0:
        raise AssertionError(f"atmotab failed ({proc.returncode}): {proc.stderr}")
    return p, proc


def python_tool(name, *args, **kwargs):
    """Runs tools/NAME (a front of the package) with this interpreter."""
    return subprocess.run([sys.executable, os.path.join(TOOLS, name), *args], capture_output=True,
                          text=True, **kwargs)
