/* Asks a window to close the way a window manager's close box does: a WM_DELETE_WINDOW
 * client message. (xdotool's windowclose destroys the window instead.) With --net, the way
 * a taskbar's "Close" does: a _NET_CLOSE_WINDOW request to the root window, which the
 * window manager turns into WM_DELETE_WINDOW. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    const int net = argc == 3 && strcmp(argv[1], "--net") == 0;
    if (argc != 2 && !net) {
        fprintf(stderr, "usage: x11-close [--net] WINDOW-ID\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "x11-close: cannot open display\n");
        return 1;
    }
    Window window = (Window)strtoul(argv[argc - 1], NULL, 0);
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.format = 32;
    if (net) {
        event.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
        event.xclient.data.l[0] = CurrentTime;
        event.xclient.data.l[1] = 2; /* a pager or taskbar asks */
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    } else {
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
    }
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
