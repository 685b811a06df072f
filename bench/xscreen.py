"""The X display as the benchmarks watch it: which named windows are on screen and where,
and the pixels of a part of the screen, read through libX11 directly so that one look
costs about a millisecond instead of an external program's start; and keys pressed
through the XTest extension, as xdotool presses them, at a moment known to this process."""
import ctypes
import ctypes.util
import time

_x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")

_Window = ctypes.c_ulong
_ZPIXMAP = 2
_ALL_PLANES = ctypes.c_ulong(0xFFFFFFFF)
_IS_VIEWABLE = 2


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", _Window), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XDefaultRootWindow.restype = _Window
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XQueryTree.argtypes = [ctypes.c_void_p, _Window, ctypes.POINTER(_Window), ctypes.POINTER(_Window),
                            ctypes.POINTER(ctypes.POINTER(_Window)), ctypes.POINTER(ctypes.c_uint)]
_x11.XFetchName.argtypes = [ctypes.c_void_p, _Window, ctypes.POINTER(ctypes.c_char_p)]
_x11.XFree.argtypes = [ctypes.c_void_p]
_x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, _Window, ctypes.POINTER(_XWindowAttributes)]
_x11.XTranslateCoordinates.argtypes = [ctypes.c_void_p, _Window, _Window, ctypes.c_int, ctypes.c_int,
                                       ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                       ctypes.POINTER(_Window)]
_x11.XGetImage.restype = ctypes.POINTER(_XImage)
_x11.XGetImage.argtypes = [ctypes.c_void_p, _Window, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                           ctypes.c_ulong, ctypes.c_int]
_x11.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_ErrorHandler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_x11.XSetErrorHandler.argtypes = [_ErrorHandler]
_x11.XSetErrorHandler.restype = ctypes.c_void_p
_x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XStringToKeysym.restype = ctypes.c_ulong
_x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
_x11.XKeysymToKeycode.restype = ctypes.c_ubyte
_x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
_xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
_xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]


# A window may go away between two requests about it; Xlib's default handler would end
# the whole process on the error that follows. Such a window is simply not found.
@_ErrorHandler
def _ignore_error(display, event):
    return 0


_x11.XSetErrorHandler(_ignore_error)


class XScreen:
    """A connection of our own to display :number."""

    def __init__(self, number):
        self.display = _x11.XOpenDisplay(f":{number}".encode())
        if not self.display:
            raise RuntimeError(f"cannot open display :{number}")
        self.root = _x11.XDefaultRootWindow(self.display)
        self.size = _x11.XDisplayWidth(self.display, 0), _x11.XDisplayHeight(self.display, 0)

    def close(self):
        _x11.XCloseDisplay(self.display)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _children(self, window):
        root, parent = _Window(), _Window()
        children = ctypes.POINTER(_Window)()
        count = ctypes.c_uint()
        if not _x11.XQueryTree(self.display, window, ctypes.byref(root), ctypes.byref(parent),
                               ctypes.byref(children), ctypes.byref(count)):
            return []
        found = [children[i] for i in range(count.value)]
        if children:
            _x11.XFree(children)
        return found

    def _name(self, window):
        name = ctypes.c_char_p()
        if not _x11.XFetchName(self.display, window, ctypes.byref(name)) or not name.value:
            return None
        text = name.value.decode(errors="replace")
        _x11.XFree(name)
        return text

    def _viewable_rect(self, window):
        attributes = _XWindowAttributes()
        if not _x11.XGetWindowAttributes(self.display, window, ctypes.byref(attributes)):
            return None
        if attributes.map_state != _IS_VIEWABLE:
            return None
        x, y, child = ctypes.c_int(), ctypes.c_int(), _Window()
        _x11.XTranslateCoordinates(self.display, window, self.root, 0, 0, ctypes.byref(x), ctypes.byref(y),
                                   ctypes.byref(child))
        return x.value, y.value, attributes.width, attributes.height

    def window(self, title, depth=3):
        """(x, y, width, height) on the screen of a viewable window named `title` (a
        top-level window, or a client inside the window manager's frame), or None."""
        level = [self.root]
        for _ in range(depth):
            below = []
            for window in level:
                for child in self._children(window):
                    if self._name(child) == title:
                        rect = self._viewable_rect(child)
                        if rect:
                            return rect
                    below.append(child)
            level = below
        return None

    def press(self, keys, down):
        """Presses (or releases) the keys named, in order, and returns the moment the X
        server had taken them (time.monotonic())."""
        for name in keys:
            code = _x11.XKeysymToKeycode(self.display, _x11.XStringToKeysym(name.encode()))
            _xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        _x11.XSync(self.display, 0)
        return time.monotonic()

    def grab(self, x, y, width, height):
        """The screen's pixels in that rectangle (cut to the screen), as the bytes of its
        rows (32 bits a pixel)."""
        x, y = max(x, 0), max(y, 0)
        width, height = min(width, self.size[0] - x), min(height, self.size[1] - y)
        image = _x11.XGetImage(self.display, self.root, x, y, width, height, _ALL_PLANES, _ZPIXMAP)
        if not image:
            return None
        try:
            contents = image.contents
            return ctypes.string_at(contents.data, contents.bytes_per_line * contents.height)
        finally:
            _x11.XDestroyImage(image)


def differing_share(a, b):
    """The share of 32-bit pixels that differ between two grabs of the same rectangle."""
    if len(a) != len(b):
        return 1.0
    pixels = len(a) // 4
    if a == b:
        return 0.0
    view_a, view_b = memoryview(a).cast("I"), memoryview(b).cast("I")
    differing = sum(1 for i in range(pixels) if view_a[i] != view_b[i])
    return differing / pixels
