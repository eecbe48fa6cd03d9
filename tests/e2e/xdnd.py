"""A drag-and-drop source on X (the XDND protocol, version 5) through libX11 and ctypes: drops
files (text/uri-list) or text on a window at a point, as a file manager or a browser does.
Wine turns such a drop into WM_DROPFILES or an OLE drop for the window under the point."""

import ctypes
import ctypes.util
import os
import time
import urllib.parse

_x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
Atom = Window = Time = ctypes.c_ulong


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", Window), ("message_type", Atom),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class _SelectionRequest(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("owner", Window), ("requestor", Window),
                ("selection", Atom), ("target", Atom), ("property", Atom), ("time", Time)]


class _SelectionNotify(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", Window), ("selection", Atom),
                ("target", Atom), ("property", Atom), ("time", Time)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", _ClientMessage), ("xselectionrequest", _SelectionRequest),
                ("xselection", _SelectionNotify), ("pad", ctypes.c_long * 24)]


_x.XOpenDisplay.restype = ctypes.c_void_p
_x.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x.XInternAtom.restype = Atom
_x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x.XDefaultRootWindow.restype = Window
_x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x.XCreateSimpleWindow.restype = Window
_x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                   ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
_x.XSetSelectionOwner.argtypes = [ctypes.c_void_p, Atom, Window, Time]
_x.XSendEvent.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_long, ctypes.POINTER(_Event)]
_x.XChangeProperty.argtypes = [ctypes.c_void_p, Window, Atom, Atom, ctypes.c_int, ctypes.c_int,
                               ctypes.c_char_p, ctypes.c_int]
_x.XPending.argtypes = [ctypes.c_void_p]
_x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_Event)]
_x.XFlush.argtypes = [ctypes.c_void_p]
_x.XDestroyWindow.argtypes = [ctypes.c_void_p, Window]
_x.XCloseDisplay.argtypes = [ctypes.c_void_p]

_CLIENT_MESSAGE, _SELECTION_REQUEST = 33, 30


def file_uris(paths):
    return "".join("file://" + urllib.parse.quote(os.path.abspath(p)) + "\r\n" for p in paths)


def drop(display, target, x_root, y_root, data, mime="text/uri-list", timeout=10):
    """Drops `data` (str) of the given type on the X window `target` at a root point. Returns
    True when the target accepted the drop and said it has finished with it."""
    d = _x.XOpenDisplay(display.encode())
    if not d:
        raise RuntimeError(f"cannot open display {display}")
    atom = lambda name: _x.XInternAtom(d, name.encode(), 0)
    src = _x.XCreateSimpleWindow(d, _x.XDefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0)
    types = [atom(mime)] + ([atom("UTF8_STRING"), atom("STRING")] if mime.startswith("text/plain") else [])
    payload = data.encode("utf-8")
    sel = atom("XdndSelection")
    _x.XSetSelectionOwner(d, sel, src, 0)

    def send(name, l):
        ev = _Event()
        ev.xclient.type = _CLIENT_MESSAGE
        ev.xclient.window = target
        ev.xclient.message_type = atom(name)
        ev.xclient.format = 32
        for i, v in enumerate(l):
            ev.xclient.l[i] = v
        _x.XSendEvent(d, target, 0, 0, ctypes.byref(ev))
        _x.XFlush(d)

    accepted = finished = False

    def serve(until, stop):
        nonlocal accepted, finished
        ev = _Event()
        while time.monotonic() < until and not stop():
            if not _x.XPending(d):
                time.sleep(0.01)
                continue
            _x.XNextEvent(d, ctypes.byref(ev))
            if ev.type == _SELECTION_REQUEST:
                r = ev.xselectionrequest
                n = _Event()
                n.xselection.type = 31  # SelectionNotify
                n.xselection.requestor, n.xselection.selection = r.requestor, r.selection
                n.xselection.target, n.xselection.time = r.target, r.time
                n.xselection.property = 0
                if r.target in types:
                    _x.XChangeProperty(d, r.requestor, r.property, r.target, 8, 0, payload, len(payload))
                    n.xselection.property = r.property
                _x.XSendEvent(d, r.requestor, 0, 0, ctypes.byref(n))
                _x.XFlush(d)
            elif ev.type == _CLIENT_MESSAGE:
                name = ev.xclient.message_type
                if name == atom("XdndStatus"):
                    accepted = bool(ev.xclient.l[1] & 1)
                elif name == atom("XdndFinished"):
                    finished = True

    try:
        send("XdndEnter", [src, 5 << 24] + (types + [0, 0, 0])[:3])
        serve(time.monotonic() + 0.5, lambda: False)
        send("XdndPosition", [src, 0, (x_root << 16) | y_root, 0, atom("XdndActionCopy")])
        serve(time.monotonic() + timeout, lambda: accepted)
        if not accepted:
            send("XdndLeave", [src, 0, 0, 0, 0])
            return False
        send("XdndDrop", [src, 0, 0, 0, 0])
        serve(time.monotonic() + timeout, lambda: finished)
        return finished
    finally:
        _x.XDestroyWindow(d, src)
        _x.XCloseDisplay(d)
