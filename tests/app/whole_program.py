#!/usr/bin/python3
"""The real TarquelMONITOR under Xvfb: first start on a new database, then the agent pinging two loopback hosts.

Usage: whole_program.py <TarquelMONITOR executable> <folder for screenshots>
"""
import os
import signal
import sqlite3
import stat
import subprocess
import sys
import tempfile
import time

from Xlib import X, display, protocol

EXE = os.path.abspath(sys.argv[1])
SHOTS = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
TITLE = "Tarquel MONITOR 1.0"


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def start_xvfb():
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=[write_fd], stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = os.read(read_fd, 16).decode().strip()
    os.close(read_fd)
    if not number:
        fail("Xvfb did not start")
    return proc, ":" + number


def find_window(dpy, title, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        stack = [dpy.screen().root]
        while stack:
            win = stack.pop()
            try:
                name = win.get_wm_name()
                children = win.query_tree().children
            except Exception:
                continue
            if name == title and win.get_attributes().map_state == X.IsViewable:
                return win
            stack.extend(children)
        time.sleep(0.2)
    return None


def close_window(dpy, win):
    """The window manager's close: WM_DELETE_WINDOW, as the frame's close box sends it."""
    protocols = dpy.intern_atom("WM_PROTOCOLS")
    delete = dpy.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=win, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    win.send_event(event)
    dpy.flush()


def screenshot(disp, win, name):
    if SHOTS:
        os.makedirs(SHOTS, exist_ok=True)
        subprocess.run(["import", "-display", disp, "-window", str(win.id), os.path.join(SHOTS, name)], check=False)


def run_program(workdir, disp, extra_env=None):
    env = dict(os.environ, DISPLAY=disp, QT_QPA_PLATFORM="xcb", LANG="en_US.UTF-8", LC_ALL="en_US.UTF-8")
    env.update(extra_env or {})
    return subprocess.Popen([EXE], cwd=workdir, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)


def wait_exit(proc, what, timeout=15):
    try:
        proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        fail(what + ": the program did not end after its window was closed")
    if proc.returncode != 0:
        fail("%s: exit code %d, output:\n%s" % (what, proc.returncode, proc.stdout.read().decode(errors="replace")))


def main():
    # Another X server starting at the same moment can take the display Xvfb announced: start again then.
    dpy = None
    for _ in range(3):
        xvfb, disp = start_xvfb()
        for _ in range(50):
            try:
                dpy = display.Display(disp)
                break
            except Exception:
                time.sleep(0.1)
        if dpy is not None:
            break
        xvfb.kill()
        xvfb.wait()
    if dpy is None:
        fail("cannot connect to Xvfb")
    workdir = tempfile.mkdtemp(prefix="tm-whole-")
    try:
        # First start: a new database in the working directory, owner-only, in Portuguese.
        proc = run_program(workdir, disp)
        win = find_window(dpy, TITLE, 20)
        if win is None:
            proc.kill()
            fail("the main window did not appear")
        time.sleep(1)
        screenshot(disp, win, "first-start.png")
        db = os.path.join(workdir, "TarquelMONITOR.db")
        if not os.path.exists(db):
            fail("no database was created in the working directory")
        mode = stat.S_IMODE(os.stat(db).st_mode)
        if mode != 0o600:
            fail("database mode is %o, not 600" % mode)
        close_window(dpy, win)
        wait_exit(proc, "first start")

        con = sqlite3.connect(db)
        tables = {r[0] for r in con.execute("SELECT name FROM sqlite_master WHERE type = 'table'")}
        if not {"Hosts", "Details", "Settings"} <= tables:
            fail("schema incomplete: %s" % tables)
        if con.execute("SELECT Language, PingInterval FROM Settings").fetchone() != (0, 100):
            fail("default settings row missing")
        # Second start: two loopback hosts, the agent starting by itself, English.
        con.execute("UPDATE Settings SET Language = 1, AutoStartAgent = 1, PingInterval = 60, PingAttemts = 2")
        con.execute("INSERT INTO Hosts (IP, Alias) VALUES ('127.0.0.1', 'loopback'), ('127.0.0.2', 'second')")
        con.commit()
        con.close()

        proc = run_program(workdir, disp)
        win = find_window(dpy, TITLE, 20)
        if win is None:
            proc.kill()
            fail("the main window did not appear on the second start")
        # The first run falls on the next whole minute.
        now = time.time()
        time.sleep(60 - now % 60 + 4)
        screenshot(disp, win, "agent-running.png")
        # The Log tab, clicked where it lies on the window.
        subprocess.run(["xdotool", "mousemove", "--window", str(win.id), "77", "114", "click", "1"],
                       env=dict(os.environ, DISPLAY=disp), check=False)
        time.sleep(1)
        screenshot(disp, win, "agent-log.png")
        close_window(dpy, win)
        wait_exit(proc, "agent run")

        con = sqlite3.connect(db)
        rows = con.execute("SELECT Host, ReplyDataSize, ErrMsg FROM Details ORDER BY ID").fetchall()
        if len(rows) < 4:
            fail("expected at least 4 stored echoes after one cycle, got %s" % rows)
        if any(r[1] != 32 for r in rows):
            fail("loopback echoes did not succeed: %s" % rows)
        figures = con.execute("SELECT IP, TotalPings24, SuccessRate24 FROM Hosts ORDER BY IP").fetchall()
        if any(total < 2 or rate != 100 for _, total, rate in figures):
            fail("host figures not updated: %s" % figures)
        con.close()
        print("1 passed, 0 failed")
    finally:
        dpy.close()
        xvfb.send_signal(signal.SIGTERM)
        xvfb.wait()
        subprocess.run(["rm", "-rf", workdir])


if __name__ == "__main__":
    main()
