/* Watches an area of a window until its pixels change, reading them straight from the X
 * server every few milliseconds (far finer than a screenshot tool), and prints the wall
 * clock of the first change in milliseconds since the epoch.
 *   x11-watch WINDOW-ID X Y W H TIMEOUT-MS
 * "ready" goes to the standard error once the first picture of the area is taken. Exit
 * status 1 when nothing changed within the time-out. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static long long nowMs(clockid_t clock)
{
    struct timespec t;
    clock_gettime(clock, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static int differs(XImage* a, XImage* b, int w, int h)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (XGetPixel(a, x, y) != XGetPixel(b, x, y))
                return 1;
    return 0;
}

int main(int argc, char** argv)
{
    if (argc != 7) {
        fprintf(stderr, "usage: x11-watch WINDOW-ID X Y W H TIMEOUT-MS\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "x11-watch: cannot open display\n");
        return 2;
    }
    const Window window = (Window)strtoul(argv[1], NULL, 0);
    const int x = atoi(argv[2]), y = atoi(argv[3]), w = atoi(argv[4]), h = atoi(argv[5]);
    const long long deadline = nowMs(CLOCK_MONOTONIC) + atoll(argv[6]);
    XImage* first = XGetImage(display, window, x, y, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
    if (!first) {
        fprintf(stderr, "x11-watch: cannot read the window\n");
        return 2;
    }
    fprintf(stderr, "ready\n");
    fflush(stderr);
    while (nowMs(CLOCK_MONOTONIC) < deadline) {
        XImage* now = XGetImage(display, window, x, y, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
        const long long read = nowMs(CLOCK_REALTIME);
        if (now) {
            const int changed = differs(first, now, w, h);
            XDestroyImage(now);
            if (changed) {
                /* The change was drawn before this read ended. */
                printf("%lld\n", read);
                return 0;
            }
        }
        struct timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, NULL);
    }
    return 1;
}
