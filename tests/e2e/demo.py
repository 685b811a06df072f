"""Starts the program from a program folder on a virtual display, waits for its start
dialog, leaves a screenshot and stops it: the newcomer's first look without a display."""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402


def main():
    folder, shot = Path(sys.argv[1]), Path(sys.argv[2]).resolve()
    with harness.VirtualDisplay() as display:
        with harness.Program(display, folder=folder, schedule=True) as program:
            harness.wait_for("the start dialog's window", lambda: display.window_ids("Quorvel"), timeout=120)
            harness.wait_for("the start dialog to be painted",
                             lambda: display.pixels().at(960, 20) != (0, 0, 0), timeout=30)
            display.screenshot(shot)
            print(f"Quorvel started on a virtual display; screenshot: {shot}")
            if program.process.poll() is not None:
                sys.exit(f"the program ended with code {program.process.returncode}")


if __name__ == "__main__":
    main()
