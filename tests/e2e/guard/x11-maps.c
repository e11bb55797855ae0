/* Prints one line for every top-level window mapped on the screen, as it happens:
 * "map WINDOW-ID WIDTHxHEIGHT", the id in decimal as xdotool prints it. A window that is
 * shown for an instant and destroyed at once is still seen, which polling would miss. */
#include <X11/Xlib.h>
#include <stdio.h>

enum { kMaxWindows = 4096 };

static struct {
    Window id;
    int width;
    int height;
} sizes[kMaxWindows];
static int count;

static void remember(Window id, int width, int height)
{
    for (int i = 0; i < count; ++i) {
        if (sizes[i].id == id) {
            sizes[i].width = width;
            sizes[i].height = height;
            return;
        }
    }
    if (count < kMaxWindows) {
        sizes[count].id = id;
        sizes[count].width = width;
        sizes[count].height = height;
        ++count;
    }
}

static void print_map(Window id)
{
    for (int i = 0; i < count; ++i) {
        if (sizes[i].id == id) {
            printf("map %lu %dx%d\n", (unsigned long)id, sizes[i].width, sizes[i].height);
            fflush(stdout);
            return;
        }
    }
    printf("map %lu unknown\n", (unsigned long)id);
    fflush(stdout);
}

int main(void)
{
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "x11-maps: cannot open display\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    printf("watching\n");
    fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case CreateNotify:
            remember(event.xcreatewindow.window, event.xcreatewindow.width, event.xcreatewindow.height);
            break;
        case ConfigureNotify: remember(event.xconfigure.window, event.xconfigure.width, event.xconfigure.height); break;
        case MapNotify: print_map(event.xmap.window); break;
        default: break;
        }
    }
}
