"""Walks sonavel through the screens the README shows and saves a PNG of each.

    screenshot-driver.py PROGRAM OUTDIR

scripts/screenshots runs it inside Xvfb and a private session bus, with the documents folder,
the preferences folder and the sound output already chosen in the environment. For each idiom
and theme it writes fresh preferences, starts the program, plays the first track of the cue
album, and saves now playing (once its lyrics show), the play list, the main menu and the
settings, each cut to the program's window.
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# (SONAVEL_IDIOM, theme, what the file names end with, the screens taken). On a phone the main
# menu covers the window in the toolkit's colours, the same in every theme: taken once.
ALL = ("now-playing", "playlist", "menu", "settings")
RUNS = [
    ("phone", "Dusk", "phone", ALL),
    ("phone", "Midnight", "phone-midnight", ("now-playing", "playlist", "settings")),
    ("tablet", "Dusk", "tablet", ALL),
    ("tablet", "Midnight", "tablet-midnight", ALL),
]
TRACK = "Low Tide"                       # the cue album's first track, the one with lyrics
LYRICS_AT = re.compile(r"^00:0[5-9] / ")  # a few lines in: the second line of the lyrics shows


def wait(predicate, what, timeout=15.0):
    """Polls `predicate` (dispatching AT-SPI's events meanwhile) until it answers."""
    deadline = time.monotonic() + timeout
    context = GLib.MainContext.default()
    while True:
        while context.pending():
            context.iteration(False)
        try:
            result = predicate()
        except GLib.Error:  # a widget went away while it was read
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            sys.exit(f"screenshot-driver: gave up waiting for {what}")
        time.sleep(0.1)


def showing(acc):
    return acc.get_state_set().contains(Atspi.StateType.SHOWING)


def walk(acc):
    """The accessible and its showing descendants. Qt leaves the rows of a list on a hidden
    screen marked as showing, so a hidden parent hides its whole subtree."""
    yield acc
    for i in range(acc.get_child_count()):
        child = acc.get_child_at_index(i)
        if child is not None and showing(child):
            yield from walk(child)


def find(app, role, name, what=None):
    def hit():
        for acc in walk(app):
            if acc.get_role_name() == role and (
                    name.search(acc.get_name()) if isinstance(name, re.Pattern)
                    else acc.get_name() == name):
                return acc
        return None
    return wait(hit, what or f"{role} {name!r}")


def act(acc, action):
    """Does the accessible's action by name ("Press" for a button, "Toggle" for a row)."""
    with warnings.catch_warnings():  # deprecated in the bindings, with nothing to replace them
        warnings.simplefilter("ignore")
        names = [Atspi.Action.get_action_name(acc, i) for i in range(Atspi.Action.get_n_actions(acc))]
        if action not in names:
            sys.exit(f"screenshot-driver: {acc.get_name()!r} cannot {action}, only {names}")
        Atspi.Action.do_action(acc, names.index(action))


def application(pid):
    def hit():
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == pid and app.get_child_count() > 0:
                return app
        return None
    return wait(hit, "the program on the accessibility bus")


def capture(app, path):
    # The main window is the application's first child; popovers lie inside its area.
    box = Atspi.Component.get_extents(app.get_child_at_index(0), Atspi.CoordType.SCREEN)
    time.sleep(0.5)  # what was asked for is on the bus; let its paint reach the screen
    subprocess.run(["import", "-window", "root", "-crop",
                    f"{box.width}x{box.height}+{box.x}+{box.y}", "+repage", "-strip", path],
                   check=True)
    print(f"  {path}")


def run(program, outdir, idiom, theme, suffix, screens):
    config = os.path.join(os.environ["XDG_CONFIG_HOME"], "Sonavel")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "Sonavel.conf"), "w") as f:
        f.write(f"[General]\nCurrentTheme={theme}.thm\n")
    env = dict(os.environ, SONAVEL_IDIOM=idiom)
    # What the program says (no sound server, no mixer) matters only when it fails.
    log = tempfile.TemporaryFile()
    proc = subprocess.Popen([program], env=env, stdout=log, stderr=subprocess.STDOUT)

    def shot(screen):
        if screen in screens:
            capture(app, os.path.join(outdir, f"{screen}-{suffix}.png"))

    try:
        app = application(proc.pid)
        act(find(app, "list item", TRACK), "Toggle")
        act(find(app, "push button", "Now playing"), "Press")
        find(app, "label", LYRICS_AT, "the track a few seconds in")
        wait(lambda: find(app, "filler", "lyrics").get_description(), "a line of the lyrics")
        shot("now-playing")

        act(find(app, "push button", "Back"), "Press")
        find(app, "list", "All")
        shot("playlist")

        act(find(app, "push button", "Main"), "Press")
        find(app, "list", "Main")
        shot("menu")

        act(find(app, "list item", "Settings"), "Toggle")
        find(app, "list", "Settings")
        shot("settings")
    except BaseException:
        log.seek(0)
        sys.stderr.write(log.read().decode(errors="replace"))
        raise
    finally:
        proc.terminate()
        proc.wait(timeout=10)
        log.close()


def main():
    program, outdir = sys.argv[1:3]
    for idiom, theme, suffix, screens in RUNS:
        print(f"{idiom}, {theme}:")
        run(program, outdir, idiom, theme, suffix, screens)


if __name__ == "__main__":
    main()
