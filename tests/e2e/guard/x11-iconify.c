/* Iconifies a window the way a window manager does when the user minimises it: the
 * window's WM_STATE becomes IconicState and the window is unmapped. (Without a window
 * manager, xdotool's windowminimize only sends a request nobody serves.) */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: x11-iconify WINDOW-ID\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "x11-iconify: cannot open display\n");
        return 1;
    }
    Window window = (Window)strtoul(argv[1], NULL, 0);
    Atom wmState = XInternAtom(display, "WM_STATE", False);
    long state[2] = {IconicState, None};
    XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace, (unsigned char*)state, 2);
    XUnmapWindow(display, window);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
