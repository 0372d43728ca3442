#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The agent on a desktop: Xvfb with openbox and a tint2 system tray, the accessibility bus of
the session this runs in (dbus-run-session), the agent with [display] driver=gtk.

Faults caught: windows that never reach the screen, a tray menu that cannot be opened or whose
command is lost, controls missing from the accessibility tree or without their texts, a dialog
whose client area is not the dialog colour, font samples that are not drawn or do not change,
a font dialog whose OK does not save "font.def" for the next job.

Usage: gtk_desktop_test.py AGENT ARTIFACT_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

AGENT, ARTIFACTS = sys.argv[1], sys.argv[2]
FONT_DIALOG = b"Wyb\xf3r Font\xf3w"
MAIN = b"Wydruki dla D95"
WEIGHTS = ("Ma\u0142a", "Normalna", "\u015arednia", "Du\u017ca", "Bardzo du\u017ca")
started = []
cleanup = []


def need(tool):
    if shutil.which(tool) is None:
        print(f"SKIP: {tool} is not installed")
        sys.exit(77)


def wait_for(condition, what, limit=30.0):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"waited {limit} s in vain for {what}")


def start(args, **kw):
    process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
    started.append(process)
    return process


def x(*args):
    return subprocess.run(list(args), check=True, capture_output=True, text=True).stdout


def screenshot(window, name):
    path = os.path.join(ARTIFACTS, name)
    x("import", "-window", window, path)
    return path


def pixel(path, px, py):
    out = x("convert", path, "-format", f"%[fx:int(255*p{{{px},{py}}}.r)],"
            f"%[fx:int(255*p{{{px},{py}}}.g)],%[fx:int(255*p{{{px},{py}}}.b)]", "info:")
    return tuple(int(v) for v in out.split(","))


def dark_pixels(path, geometry):
    # Pixels darker than mid-grey in a region: text drawn there.
    out = x("convert", path, "-crop", geometry, "+repage", "-colorspace", "Gray",
            "-threshold", "50%", "-negate", "-format", "%[fx:int(mean*w*h+0.5)]", "info:")
    return int(out)


def same_region(a, b, geometry):
    crops = []
    for path in (a, b):
        crop = path + ".crop.png"
        x("convert", path, "-crop", geometry, "+repage", crop)
        crops.append(crop)
    result = subprocess.run(["compare", "-metric", "AE", crops[0], crops[1], "null:"],
                            capture_output=True, text=True)
    return float(result.stderr.split()[0]) == 0


def window_named(title):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                         capture_output=True, text=True).stdout.split()
    return out[0] if out else None


def geometry_of(window):
    info = x("xwininfo", "-id", window)
    width = int(re.search(r"Width: (\d+)", info).group(1))
    height = int(re.search(r"Height: (\d+)", info).group(1))
    return width, height


def tray_icon():
    # The agent's icon embedded in tint2's tray: a small window of the agent's class.
    for line in x("xwininfo", "-root", "-tree").splitlines():
        match = re.search(r'\("wydrukid95" "Wydrukid95"\)\s+(\d+)x(\d+)\+\S+\s+\+(\d+)\+(\d+)',
                          line)
        if match and int(match.group(1)) <= 48 and int(match.group(4)) > 600:
            w, h, left, top = (int(v) for v in match.groups())
            return left + w // 2, top + h // 2
    return None


def accessible_app():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "wydrukid95":
            return app
    return None


def walk(node):
    yield node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child)


def frame(title):
    app = accessible_app()
    if app is None:
        return None
    for i in range(app.get_child_count()):
        child = app.get_child_at_index(i)
        if child is not None and child.get_name() == title and \
                child.get_state_set().contains(Atspi.StateType.SHOWING):
            return child
    return None


def find(root, role, name):
    for node in walk(root):
        if node.get_role() == role and node.get_name() == name:
            return node
    raise AssertionError(f"no {role.value_nick} '{name}' in the accessibility tree")


def press(root, name):
    button = find(root, Atspi.Role.PUSH_BUTTON, name)
    Atspi.Action.do_action(button, 0)


def submit(work, name, content):
    jobs = os.path.join(work, "jobs")
    with open(os.path.join(jobs, name), "wb") as f:
        f.write(content)
    with open(os.path.join(jobs, "win95.drk"), "wb") as f:
        f.write(os.path.join(jobs, name).encode() + b"\r\n")


def last_document(trace):
    with open(trace, "rb") as f:
        lines = f.read().decode("cp1250").splitlines()
    starts = [i for i, line in enumerate(lines) if line.startswith("DOC ")]
    return lines[starts[-1]:] if starts else []


def print_job(work, trace, name):
    """Prints a one-line job; the font of its text in the trace: face, height, weight."""
    submit(work, name, b"ABC\r\n")
    jobs = os.path.join(work, "jobs")
    wait_for(lambda: not os.path.exists(os.path.join(jobs, "win95.drk")), f"the job {name}")
    texts = [line for line in last_document(trace) if line.startswith("TEXT ")]
    assert texts, "the job printed no text"
    # TEXT x y face|height|width|weight|italic|charset bytes
    fields = texts[0].split(" ", 3)[3].rsplit(" ", 1)[0].split("|")
    return fields[0], int(fields[1]), int(fields[3])


def set_field(dialog, current, text):
    """Types `text` into the text field (of the dialog) that now shows `current`."""
    fields = [n for n in walk(dialog) if n.get_role() == Atspi.Role.TEXT and
              Atspi.Text.get_text(n, 0, -1).strip() == current]
    assert len(fields) == 1, f"no single field showing '{current}'"
    Atspi.EditableText.set_text_contents(fields[0], text)


def field_texts(dialog):
    return [Atspi.Text.get_text(n, 0, -1) for n in walk(dialog)
            if n.get_role() == Atspi.Role.TEXT]


def main():
    for tool in ("Xvfb", "openbox", "tint2", "xdotool", "import", "xwininfo"):
        need(tool)
    os.makedirs(ARTIFACTS, exist_ok=True)
    work = tempfile.mkdtemp(prefix="gtk-desktop-")
    cleanup.append(work)
    for sub in ("program", "jobs", "runtime"):
        os.makedirs(os.path.join(work, sub), mode=0o700)
    program = os.path.join(work, "program", "wydrukid95")
    shutil.copy(AGENT, program)
    record = os.path.join(work, "screen.txt")
    trace = os.path.join(work, "trace.txt")
    ini = os.path.join(work, "win.ini")
    with open(ini, "w") as f:
        f.write(f"[windows]\ndevice=trace-file,builtin,x\n[trace-file]\nport={trace}\n"
                f"[display]\ndriver=gtk\nrecord={record}\n")

    read, write = os.pipe()
    start(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
          pass_fds=(write,))
    os.close(write)
    display = ":" + os.read(read, 16).decode().strip()
    os.environ["DISPLAY"] = display
    start(["openbox"])
    start(["tint2"])
    env = dict(os.environ, WYDRUKI_INI=ini, XDG_RUNTIME_DIR=os.path.join(work, "runtime"),
               CUPS_SERVER="127.0.0.1:1", GTK_A11Y="atspi")
    env.pop("NO_AT_BRIDGE", None)
    agent = start([program, os.path.join(work, "jobs") + "/"], cwd=work, env=env)

    def seen(prefix):
        try:
            with open(record, "rb") as f:
                return sum(1 for line in f if line.startswith(prefix))
        except FileNotFoundError:
            return 0

    # The start-up shows the main window once, then leaves only the tray icon.
    wait_for(lambda: seen(b"HIDE " + MAIN) >= 1, "the start-up to finish")
    first_face, first_cell, first_weight = print_job(work, trace, "a.txt")
    icon = wait_for(tray_icon, "the icon in the tray")

    # The program's own menu command opens the configuration window.
    x("xdotool", "mousemove", str(icon[0]), str(icon[1]), "click", "3")
    wait_for(lambda: seen(b"MENU ") >= 1, "the tray menu")

    def alert():
        app = accessible_app()
        for i in range(app.get_child_count() if app is not None else 0):
            child = app.get_child_at_index(i)
            if child is not None and child.get_role() in (Atspi.Role.ALERT, Atspi.Role.DIALOG) \
                    and child.get_state_set().contains(Atspi.StateType.SHOWING):
                return child
        return None

    def menu_item(name):
        app = accessible_app()
        for node in walk(app) if app is not None else []:
            if node.get_role() == Atspi.Role.MENU_ITEM and node.get_name() == name and \
                    node.get_state_set().contains(Atspi.StateType.SHOWING):
                return node
        return None

    item = wait_for(lambda: menu_item("Konfiguracja"), "the menu on screen")
    screenshot("root", "tray-menu.png")
    Atspi.Action.do_action(item, 0)
    wait_for(lambda: seen(b"SHOW " + MAIN) >= 2, "the configuration window")
    main_window = wait_for(lambda: window_named("Wydruki dla D95"), "the window to be mapped")
    wait_for(lambda: frame("Wydruki dla D95"), "the window in the accessibility tree")
    shot = screenshot(main_window, "configuration.png")
    assert geometry_of(main_window) == (427, 273), geometry_of(main_window)
    # Below the directory line and left of the check box nothing is drawn: the dialog colour.
    assert pixel(shot, 8, 262) == (240, 240, 240), pixel(shot, 8, 262)

    config = frame("Wydruki dla D95")
    labels = {n.get_name() for n in walk(config) if n.get_role() == Atspi.Role.LABEL}
    for text in ("Drukarka :", "Nazwa :", "trace-file", "builtin", trace, "Katalog :",
                 os.path.join(work, "jobs") + "/", "Wersja 2.0c"):
        assert text in labels, f"'{text}' missing from the configuration window: {labels}"
    find(config, Atspi.Role.CHECK_BOX, "Fonty Standardowe")

    # The window has no system menu, but openbox gives it a close anyway: it acts as "OK"
    # (the window goes, the agent stays), never as nothing.
    x("xdotool", "windowactivate", "--sync", main_window, "key", "alt+F4")
    wait_for(lambda: seen(b"HIDE " + MAIN) >= 2, "the frame's close to put the window away")
    print_job(work, trace, "after-close.txt")
    assert agent.poll() is None, "closing the configuration window from its frame ended the agent"
    x("xdotool", "mousemove", str(icon[0]), str(icon[1]), "click", "3")
    Atspi.Action.do_action(wait_for(lambda: menu_item("Konfiguracja"), "the menu again"), 0)
    wait_for(lambda: seen(b"SHOW " + MAIN) >= 3, "the configuration window again")
    main_window = wait_for(lambda: window_named("Wydruki dla D95"), "the window to be mapped")
    config = wait_for(lambda: frame("Wydruki dla D95"), "the window in the accessibility tree")

    # The font dialog: samples drawn, a different height makes them change, OK saves.
    press(config, "Czcionka")
    wait_for(lambda: seen(b"SHOW " + FONT_DIALOG) >= 1, "the font dialog")
    dialog_window = wait_for(lambda: window_named("Wybór Fontów"), "the dialog to be mapped")
    dialog = wait_for(lambda: frame("Wybór Fontów"), "the dialog in the accessibility tree")
    before = screenshot(dialog_window, "font-dialog.png")
    assert geometry_of(dialog_window) == (517, 396), geometry_of(dialog_window)
    modified_box = "485x109+18+274"
    assert dark_pixels(before, modified_box) > 500, "no text in the modified sample"
    assert dark_pixels(before, "485x109+18+138") > 500, "no text in the current sample"

    # Another face, weight and height; "Zastosuj" redraws only the modified sample.
    texts = field_texts(dialog)
    shown_height = int(next(t for t in texts if t.strip().isdigit()))
    new_height = 60 if shown_height != 60 else 150
    assert first_face == "Courier New" and "Courier New" in texts, (first_face, texts)
    assert first_weight != 400, "the test needs a weight other than the lightest to start from"
    set_field(dialog, "Courier New", "DejaVu Sans Mono")
    set_field(dialog, next(t for t in texts if t in WEIGHTS), "Ma\u0142a")  # 400
    set_field(dialog, str(shown_height), f"{new_height:<3}")
    # Enter presses the default button, "Zastosuj", wherever the focus is.
    x("xdotool", "windowactivate", "--sync", dialog_window, "key", "Return")
    wait_for(lambda: not same_region(before, screenshot(dialog_window, "font-dialog-changed.png"),
                                     modified_box), "the modified sample to change")
    after = os.path.join(ARTIFACTS, "font-dialog-changed.png")
    assert same_region(before, after, "485x109+18+138"), "the current sample changed too"
    assert dark_pixels(after, modified_box) > 200, "the changed sample shows no text"

    press(dialog, "OK")
    font_def = os.path.join(work, "program", "font.def")
    wait_for(lambda: os.path.exists(font_def), '"font.def"')
    wait_for(lambda: seen(b"HIDE " + FONT_DIALOG) >= 1, "the font dialog to close")

    # The next job prints with what was saved.
    face, cell, weight = print_job(work, trace, "b.txt")
    expected = first_cell * new_height / shown_height
    assert face == "DejaVu Sans Mono" and weight == 400, (face, weight)
    assert abs(cell - expected) <= 2, (first_cell, shown_height, new_height, cell)

    # Anuluj changes nothing: not "font.def", not the next job.
    with open(font_def, "rb") as f:
        saved = f.read()
    press(config, "Czcionka")
    wait_for(lambda: seen(b"SHOW " + FONT_DIALOG) >= 2, "the font dialog again")
    dialog = wait_for(lambda: frame("Wybór Fontów"), "the dialog in the accessibility tree")
    dialog_window = wait_for(lambda: window_named("Wybór Fontów"), "the dialog to be mapped")
    set_field(dialog, str(new_height), "150")
    set_field(dialog, "Ma\u0142a", "Bardzo du\u017ca")
    # Esc presses the cancel button, "Anuluj".
    x("xdotool", "windowactivate", "--sync", dialog_window, "key", "Escape")
    wait_for(lambda: seen(b"HIDE " + FONT_DIALOG) >= 2, "the font dialog to close on Esc")
    with open(font_def, "rb") as f:
        assert f.read() == saved, '"font.def" changed on Anuluj'
    assert print_job(work, trace, "c.txt") == (face, cell, weight), "Anuluj changed the font"
    press(config, "OK")
    wait_for(lambda: seen(b"HIDE " + MAIN) >= 3, "the configuration window to close")

    # The tray menu's "Anuluj wydruk" cancels a long job.
    start_at = os.path.getsize(trace)

    def long_job(part):
        # Only the ends of the long job's trace are read: it grows to megabytes.
        with open(trace, "rb") as f:
            if part == "head":
                f.seek(start_at)
            else:
                f.seek(max(start_at, os.path.getsize(trace) - 256))
            return f.read(256).decode("cp1250").splitlines()

    submit(work, "long.txt", b"A\r\n\x0c" * 300000)
    wait_for(lambda: "PAGE 2" in long_job("head"), "the long job to start")
    x("xdotool", "mousemove", str(icon[0]), str(icon[1]), "click", "3")
    item = wait_for(lambda: menu_item("Anuluj wydruk"), "the menu during the job")
    assert item.get_state_set().contains(Atspi.StateType.SENSITIVE), "cancel is not offered"
    screenshot("root", "tray-menu-printing.png")
    Atspi.Action.do_action(item, 0)
    wait_for(lambda: long_job("tail")[-1:] == ["ABORTDOC"], "ABORTDOC in the trace")
    wait_for(lambda: not os.path.exists(os.path.join(work, "jobs", "win95.drk")),
             "the cancelled job's signal to go")
    last_page = [line for line in long_job("tail") if line.startswith("PAGE ")]
    assert last_page and int(last_page[-1].split()[1]) < 300000, last_page

    with open(os.path.join(work, "jobs", "koniec.drk"), "wb"):
        pass
    assert agent.wait(timeout=30) == 0

    # A printer error: a message box that the person answers; the job is kept.
    with open(ini, "w") as f:
        f.write("[windows]\ndevice=no-such-printer,cups,no-such-printer\n"
                f"[display]\ndriver=gtk\nrecord={record}\n")
    agent = start([program, os.path.join(work, "jobs") + "/"], cwd=work, env=env)
    wait_for(lambda: seen(b"HIDE " + MAIN) >= 4, "the second start-up to finish")
    submit(work, "d.txt", b"D\r\n")
    wait_for(lambda: seen(b"MESSAGEBOX 16 ") >= 1, "the printer error")
    box = wait_for(lambda: alert(), "the message box in the accessibility tree")
    labels = [n.get_name() for n in walk(box) if n.get_role() == Atspi.Role.LABEL]
    # The printer is named, and why it cannot take the job: no scheduler answers here.
    assert ('Printer "no-such-printer": the print system cannot be reached (no answer from '
            '127.0.0.1:1). The job is kept and tried again.') in labels, labels
    # The caption as given (the accessible name of a GTK message box is its kind).
    box_window = wait_for(lambda: window_named("Wydruki z D'95"), "the box with its caption")
    screenshot(box_window, "printer-error.png")
    press(box, "OK")
    wait_for(lambda: alert() is None, "the message box to go")
    assert os.path.exists(os.path.join(work, "jobs", "win95.drk")), "the job was lost"
    with open(os.path.join(work, "jobs", "koniec.drk"), "wb"):
        pass
    assert agent.wait(timeout=30) == 0, "the agent did not end after the answered box"
    assert seen(b"MESSAGEBOX 16 ") == 1, "the error was reported more than once"


try:
    main()
finally:
    for process in reversed(started):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
    for directory in cleanup:
        shutil.rmtree(directory, ignore_errors=True)
