/* Message to pixels as a viewer's equipment sees it: plays the timing server on a TCP port,
 * writes one message at a time to the real overlay and times each write until the X server
 * reports DAMAGE on the changed element's rectangle of the overlay window. Then, after
 * "Nova", counts what the idle window damages.
 *
 * Run (inside a private network namespace, with DISPLAY set):
 *   bench_damage --window ID --listen ADDRESS:PORT --label X,Y,W,H --clock X,Y,W,H
 *                [--messages N] [--idle SECONDS] [--pid PID [--flood CHUNKS] [--noise MB]]
 *   --window    the overlay's window, as xwininfo names it (0x...)
 *   --listen    where the overlay finds its timing server
 *   --label     the changed label's rectangle in the window (lbl60A, written by "PA")
 *   --clock     the clock's (lblHora): the only damage allowed while idle
 *   --messages  messages timed one by one, after 200 that warm up (default none)
 *   --idle      seconds the idle window is watched (default 0)
 *   --pid       the overlay's process: its processor time while idle, its memory
 *   --flood     a flood of that many writes of ten messages each, timed until the overlay
 *               has applied the last of them, and its resident memory
 *   --noise     that many megabytes of random bytes, timed until the overlay has digested
 *               them
 * Prints "figure<TAB>value" lines, in that order: damage_*, flood_*, noise_*, idle_*.
 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <arpa/inet.h>
#include <errno.h>
#include <getopt.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

typedef struct {
    int x, y, w, h;
} Rect;

static long long nowNs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

static int intersects(Rect a, int x, int y, int w, int h)
{
    return x < a.x + a.w && a.x < x + w && y < a.y + a.h && a.y < y + h;
}

static int inside(Rect a, int x, int y, int w, int h)
{
    return x >= a.x && y >= a.y && x + w <= a.x + a.w && y + h <= a.y + a.h;
}

static int compare(const void* a, const void* b)
{
    long long x = *(const long long*)a, y = *(const long long*)b;
    return x < y ? -1 : x > y;
}

static int damageBase;

/* User and system time of the process so far, in clock ticks; -1 if unreadable. */
static long long cpuTicks(const char* pid)
{
    char path[64], line[1024];
    snprintf(path, sizeof path, "/proc/%s/stat", pid);
    FILE* stat = fopen(path, "r");
    if (!stat)
        return -1;
    size_t length = fread(line, 1, sizeof line - 1, stat);
    fclose(stat);
    line[length] = 0;
    /* the name in parentheses may hold blanks: count fields after its closing one */
    char* field = strrchr(line, ')');
    if (!field)
        return -1;
    unsigned long long utime = 0, stime = 0;
    if (sscanf(field + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return -1;
    return (long long)(utime + stime);
}

/* Resident memory of the process in bytes; -1 if unreadable. */
static long long residentBytes(const char* pid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%s/statm", pid);
    FILE* statm = fopen(path, "r");
    if (!statm)
        return -1;
    long long size = 0, resident = -1;
    if (fscanf(statm, "%lld %lld", &size, &resident) != 2)
        resident = -1;
    fclose(statm);
    return resident < 0 ? -1 : resident * sysconf(_SC_PAGESIZE);
}

/* Reads what the overlay sent, so its writes never block. */
static void drain(int fd)
{
    char buffer[4096];
    while (recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) { }
}

/* Discards the damage already reported. */
static void discardDamage(Display* dpy)
{
    XSync(dpy, False);
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
    }
}

/* Waits until a damage rectangle meets `target`; returns its time, or 0 after timeoutMs. */
static long long waitForDamage(Display* dpy, Rect target, int timeoutMs)
{
    long long deadline = nowNs() + (long long)timeoutMs * 1000000LL;
    for (;;) {
        while (XPending(dpy)) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (event.type == damageBase + XDamageNotify) {
                XDamageNotifyEvent* d = (XDamageNotifyEvent*)&event;
                if (intersects(target, d->area.x, d->area.y, d->area.width, d->area.height))
                    return nowNs();
            }
        }
        long long left = (deadline - nowNs()) / 1000000LL;
        if (left <= 0)
            return 0;
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, (int)left);
    }
}

/* The label's pixels as the X server holds them now; the caller frees them with XDestroyImage. */
static XImage* grabLabel(Display* dpy, Window window, Rect label)
{
    return XGetImage(dpy, window, label.x, label.y, (unsigned)label.w, (unsigned)label.h, AllPlanes, ZPixmap);
}

static int samePixels(XImage* a, XImage* b)
{
    if (!a || !b || a->width != b->width || a->height != b->height)
        return 0;
    for (int y = 0; y < a->height; ++y)
        for (int x = 0; x < a->width; ++x)
            if (XGetPixel(a, x, y) != XGetPixel(b, x, y))
                return 0;
    return 1;
}

/* Writes all of `data`, reading what the overlay sends meanwhile so neither side blocks. */
static int writeAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        struct pollfd p = {fd, POLLOUT | POLLIN, 0};
        poll(&p, 1, 1000);
        if (p.revents & POLLIN)
            drain(fd);
        if (!(p.revents & POLLOUT))
            continue;
        ssize_t sent = send(fd, data, length > 65536 ? 65536 : length, MSG_DONTWAIT);
        if (sent < 0 && errno != EAGAIN) {
            perror("write");
            return -1;
        }
        if (sent > 0) {
            data += sent;
            length -= (size_t)sent;
        }
    }
    return 0;
}

/* The marker's value on the label: "PA:9.876". The overlay applies items in order, so once
 * the label shows exactly the marker's pixels, everything written before it was applied.
 * A damage alone does not tell: the backlog still repaints the label with other values. */
static const char kMarker[] = "@PA:9.876@";

/* Writes the marker and returns when the label shows `reference` (the marker's pixels), or 0
 * after timeoutMs. */
static long long waitForMarker(Display* dpy, Window window, int peer, Rect label, XImage* reference, int timeoutMs)
{
    discardDamage(dpy);
    if (writeAll(peer, kMarker, sizeof kMarker - 1))
        return 0;
    long long deadline = nowNs() + (long long)timeoutMs * 1000000LL;
    for (;;) {
        long long left = (deadline - nowNs()) / 1000000LL;
        if (left <= 0)
            return 0;
        long long at = waitForDamage(dpy, label, (int)(left < 1000 ? left : 1000));
        drain(peer);
        if (!at)
            continue;
        XImage* now = grabLabel(dpy, window, label);
        int same = samePixels(now, reference);
        if (now)
            XDestroyImage(now);
        if (same)
            return at;
    }
}

/* Writes `items`, which change the label, and returns its pixels once it has stopped changing
 * (no damage for 300 ms after the first), or NULL if it never changed within ten seconds. */
static XImage* settleLabel(Display* dpy, Window window, int peer, Rect label, const char* items)
{
    discardDamage(dpy);
    if (writeAll(peer, items, strlen(items)) || !waitForDamage(dpy, label, 10000))
        return NULL;
    while (waitForDamage(dpy, label, 300))
        drain(peer);
    return grabLabel(dpy, window, label);
}

/* Moves the label away from the marker's value, so that only the marker brings it back. */
static int changeLabel(Display* dpy, Window window, int peer, Rect label)
{
    XImage* shown = settleLabel(dpy, window, peer, label, "@PA:1.111@");
    if (!shown) {
        fprintf(stderr, "the label never changed\n");
        return 0;
    }
    XDestroyImage(shown);
    return 1;
}

/* Random bytes of the kind a broken line or a wrong program delivers: "@" and ":" each about
 * one byte in sixteen, NUL, CR and LF one in thirty-two, letters and digits between them.
 * Fixed seed: every run digests the same bytes. */
static char* noiseBytes(size_t length)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    char* bytes = malloc(length);
    unsigned long long state = 0x9E3779B97F4A7C15ULL;
    for (size_t i = 0; i < length; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        unsigned draw = (unsigned)(state >> 32) % 32;
        switch (draw) {
        case 0:
        case 1: bytes[i] = '@'; break;
        case 2:
        case 3: bytes[i] = ':'; break;
        case 4: bytes[i] = 0; break;
        case 5: bytes[i] = '\r'; break;
        case 6: bytes[i] = '\n'; break;
        default: bytes[i] = letters[(state >> 8) % (sizeof letters - 1)]; break;
        }
    }
    return bytes;
}

/* What every measurement works on: the watched window and the overlay's end of the link. */
typedef struct {
    Display* dpy;
    Window window;
    int peer;
    Rect label;
    Rect clock;
    const char* pid; /* NULL: the overlay's process is not watched */
} Probe;

/* Times `count` single messages, each from its write to the label's damage, after 200
 * unmeasured ones. Returns 0, or 1 when messages were asked for and none showed. */
static int measureMessages(Probe* probe, int count)
{
    long long* latencies = malloc(sizeof(long long) * (size_t)(count > 0 ? count : 1));
    int measured = 0, missed = 0;
    const int warmUp = 200;
    for (int n = 0; n < warmUp + count; ++n) {
        char text[64];
        int length = snprintf(text, sizeof text, "PA:%.3f@", 1.0 + (n % 997) / 1000.0);
        discardDamage(probe->dpy);
        drain(probe->peer);
        long long start = nowNs();
        if (write(probe->peer, text, (size_t)length) != length) {
            perror("write");
            free(latencies);
            return 1;
        }
        long long end = waitForDamage(probe->dpy, probe->label, 1000);
        if (n < warmUp)
            continue;
        if (end)
            latencies[measured++] = end - start;
        else
            ++missed;
    }
    if (count > 0 && measured == 0) {
        fprintf(stderr, "no message damaged the label\n");
        free(latencies);
        return 1;
    }
    if (measured) {
        qsort(latencies, (size_t)measured, sizeof *latencies, compare);
        printf("damage_messages\t%d\n", measured);
        printf("damage_missed\t%d\n", missed);
        printf("damage_median_ms\t%.4g\n", latencies[(measured - 1) / 2] / 1e6);
        printf("damage_p99_ms\t%.4g\n", latencies[(int)((measured - 1) * 0.99 + 0.5)] / 1e6);
        printf("damage_max_ms\t%.4g\n", latencies[measured - 1] / 1e6);
        fflush(stdout);
    }
    free(latencies);
    return 0;
}

/* A flood of ten messages a write, timed until the overlay has applied the last of them;
 * its memory halfway through the writing and once it has caught up. */
static int measureFlood(Probe* probe, XImage* marker, int chunks)
{
    if (!changeLabel(probe->dpy, probe->window, probe->peer, probe->label))
        return 1;
    char chunk[256];
    int length = snprintf(chunk, sizeof chunk,
                          "RA:0.412@PA:1.623@CA:5.418@VA:187.4@TPA:7.845@FA:8.257@posA:1@"
                          "APS-HIGH:0@APS-LOW:0@statusA:VENCEU@");
    long long half = 0;
    long long floodStart = nowNs();
    for (int c = 0; c < chunks; ++c) {
        if (writeAll(probe->peer, chunk, (size_t)length))
            return 1;
        if ((c & 255) == 0)
            XSync(probe->dpy, True); /* the damage of the flood is not needed */
        if (c == chunks / 2)
            half = residentBytes(probe->pid);
    }
    long long applied = waitForMarker(probe->dpy, probe->window, probe->peer, probe->label, marker, 600000);
    if (!applied) {
        fprintf(stderr, "the flood was not applied within ten minutes\n");
        return 1;
    }
    double seconds = (applied - floodStart) / 1e9;
    long long end = residentBytes(probe->pid);
    printf("flood_messages\t%d\n", chunks * 10);
    printf("flood_seconds\t%.2f\n", seconds);
    printf("flood_messages_per_s\t%.0f\n", chunks * 10 / seconds);
    printf("flood_rss_half_MB\t%.1f\n", half / 1e6);
    printf("flood_rss_end_MB\t%.1f\n", end / 1e6);
    printf("flood_second_half_growth_MB\t%.1f\n", (end - half) / 1e6);
    fflush(stdout);
    return 0;
}

/* Random bytes, timed from the first written until the overlay has digested them all. */
static int measureNoise(Probe* probe, XImage* marker, int noiseMB)
{
    if (!changeLabel(probe->dpy, probe->window, probe->peer, probe->label))
        return 1;
    size_t length = (size_t)noiseMB * 1000000;
    char* noise = noiseBytes(length);
    long long ticksBefore = cpuTicks(probe->pid);
    long long noiseStart = nowNs();
    for (size_t at = 0; at < length; at += 1000000) {
        if (writeAll(probe->peer, noise + at, length - at < 1000000 ? length - at : 1000000)) {
            free(noise);
            return 1;
        }
        XSync(probe->dpy, True);
    }
    long long digested = waitForMarker(probe->dpy, probe->window, probe->peer, probe->label, marker, 600000);
    free(noise);
    if (!digested) {
        fprintf(stderr, "the random bytes were not digested within ten minutes\n");
        return 1;
    }
    long long ticksAtMarker = cpuTicks(probe->pid);
    /* Work that goes on after the marker shows would mean the marker came too early:
     * the processor time from then until it stands still is printed beside the figure. */
    long long ticks = ticksAtMarker, previous = -1;
    while (ticks != previous) {
        previous = ticks;
        usleep(500000);
        drain(probe->peer);
        XSync(probe->dpy, True);
        ticks = cpuTicks(probe->pid);
    }
    double tick = (double)sysconf(_SC_CLK_TCK);
    printf("noise_MB\t%d\n", noiseMB);
    printf("noise_seconds\t%.2f\n", (digested - noiseStart) / 1e9);
    printf("noise_cpu_seconds\t%.2f\n", (ticksAtMarker - ticksBefore) / tick);
    printf("noise_cpu_after_marker_seconds\t%.2f\n", (ticks - ticksAtMarker) / tick);
    printf("noise_rss_end_MB\t%.1f\n", residentBytes(probe->pid) / 1e6);
    fflush(stdout);
    return 0;
}

/* Idle: "Nova" stops the idle countdown; from then on only the clock should change. */
static int measureIdle(Probe* probe, int idleSeconds)
{
    /* without a separator after it: an empty item would arm the idle countdown again */
    if (write(probe->peer, "Nova:0", 6) != 6)
        return 1;
    usleep(500000);
    discardDamage(probe->dpy);
    int clockDamage = 0, otherDamage = 0;
    long long ticksBefore = probe->pid ? cpuTicks(probe->pid) : -1;
    long long idleStart = nowNs();
    long long deadline = nowNs() + (long long)idleSeconds * 1000000000LL;
    while (nowNs() < deadline) {
        while (XPending(probe->dpy)) {
            XEvent event;
            XNextEvent(probe->dpy, &event);
            if (event.type != damageBase + XDamageNotify)
                continue;
            XDamageNotifyEvent* d = (XDamageNotifyEvent*)&event;
            if (inside(probe->clock, d->area.x, d->area.y, d->area.width, d->area.height))
                ++clockDamage;
            else {
                ++otherDamage;
                fprintf(stderr, "idle damage outside the clock: %d,%d %dx%d\n", d->area.x, d->area.y, d->area.width,
                        d->area.height);
            }
        }
        drain(probe->peer);
        struct pollfd p = {ConnectionNumber(probe->dpy), POLLIN, 0};
        poll(&p, 1, 100);
    }
    long long ticksAfter = probe->pid ? cpuTicks(probe->pid) : -1;
    double idleSpan = (nowNs() - idleStart) / 1e9;
    printf("idle_seconds\t%.1f\n", idleSpan);
    if (ticksBefore >= 0 && ticksAfter >= 0)
        printf("idle_cpu_percent\t%.3g\n", 100.0 * (ticksAfter - ticksBefore) / sysconf(_SC_CLK_TCK) / idleSpan);
    printf("idle_damage_clock\t%d\n", clockDamage);
    printf("idle_damage_other\t%d\n", otherDamage);
    return 0;
}

/* Opens the display and asks for every damage of the window, as raw rectangles. */
static int watchWindow(Probe* probe)
{
    probe->dpy = XOpenDisplay(NULL);
    if (!probe->dpy) {
        fprintf(stderr, "no X display\n");
        return 1;
    }
    int errorBase;
    if (!XDamageQueryExtension(probe->dpy, &damageBase, &errorBase)) {
        fprintf(stderr, "the X server has no DAMAGE extension\n");
        return 1;
    }
    XDamageCreate(probe->dpy, probe->window, XDamageReportRawRectangles);
    XSync(probe->dpy, False);
    return 0;
}

/* Listens where the overlay looks for its timing server and takes its connection (a minute
 * at most); returns the connected socket, or -1. The listener stays open in *listener. */
static int acceptOverlay(const char* address, int port, int* listener)
{
    *listener = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(*listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    struct sockaddr_in at;
    memset(&at, 0, sizeof at);
    at.sin_family = AF_INET;
    at.sin_port = htons((unsigned short)port);
    if (inet_pton(AF_INET, address, &at.sin_addr) != 1) {
        fprintf(stderr, "not an IPv4 address: %s\n", address);
        return -1;
    }
    if (bind(*listener, (struct sockaddr*)&at, sizeof at) || listen(*listener, 1)) {
        perror("listen");
        return -1;
    }
    struct pollfd waiting = {*listener, POLLIN, 0};
    if (poll(&waiting, 1, 60000) != 1) {
        fprintf(stderr, "the overlay never connected\n");
        return -1;
    }
    int peer = accept(*listener, NULL, NULL);
    setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    usleep(500000);
    drain(peer);
    return peer;
}

typedef struct {
    Window window;
    char address[64];
    int port;
    Rect label, clock;
    int messages, idleSeconds, chunks, noiseMB;
    const char* pid;
} Options;

/* "X,Y,W,H" into a rectangle; 0 when it is not four whole numbers. */
static int parseRect(const char* text, Rect* rect)
{
    char end;
    return sscanf(text, "%d,%d,%d,%d%c", &rect->x, &rect->y, &rect->w, &rect->h, &end) == 4;
}

/* A whole number of zero or more; 0 when it is none. */
static int parseCount(const char* text, int* value)
{
    char* end;
    long n = strtol(text, &end, 10);
    if (end == text || *end || n < 0 || n > 1000000000L)
        return 0;
    *value = (int)n;
    return 1;
}

static int usage(const char* program)
{
    fprintf(stderr,
            "usage: %s --window ID --listen ADDRESS:PORT --label X,Y,W,H --clock X,Y,W,H\n"
            "          [--messages N] [--idle SECONDS] [--pid PID [--flood CHUNKS] [--noise MB]]\n",
            program);
    return 2;
}

/* Returns 0 with `options` filled, or the exit status of a refusal. */
static int parseOptions(int argc, char** argv, Options* options)
{
    static const struct option known[] = {
        {"window", required_argument, NULL, 'w'},   {"listen", required_argument, NULL, 'l'},
        {"label", required_argument, NULL, 'r'},    {"clock", required_argument, NULL, 'c'},
        {"messages", required_argument, NULL, 'm'}, {"idle", required_argument, NULL, 'i'},
        {"pid", required_argument, NULL, 'p'},      {"flood", required_argument, NULL, 'f'},
        {"noise", required_argument, NULL, 'n'},    {NULL, 0, NULL, 0},
    };
    memset(options, 0, sizeof *options);
    int haveLabel = 0, haveClock = 0;
    const char* listen = NULL;
    int option;
    while ((option = getopt_long(argc, argv, "", known, NULL)) != -1) {
        int ok = 1;
        switch (option) {
        case 'w': {
            char* end;
            options->window = (Window)strtoul(optarg, &end, 0);
            ok = end != optarg && !*end && options->window != 0;
            break;
        }
        case 'l': listen = optarg; break;
        case 'r': ok = haveLabel = parseRect(optarg, &options->label); break;
        case 'c': ok = haveClock = parseRect(optarg, &options->clock); break;
        case 'm': ok = parseCount(optarg, &options->messages); break;
        case 'i': ok = parseCount(optarg, &options->idleSeconds); break;
        case 'p': options->pid = optarg; break;
        case 'f': ok = parseCount(optarg, &options->chunks); break;
        case 'n': ok = parseCount(optarg, &options->noiseMB); break;
        default: return usage(argv[0]);
        }
        if (!ok) {
            for (const struct option* o = known; o->name; ++o)
                if (o->val == option)
                    fprintf(stderr, "%s: bad value for --%s: %s\n", argv[0], o->name, optarg);
            return 2;
        }
    }
    if (optind != argc || !options->window || !listen || !haveLabel || !haveClock)
        return usage(argv[0]);
    const char* colon = strrchr(listen, ':');
    if (!colon || colon == listen || (size_t)(colon - listen) >= sizeof options->address ||
        !parseCount(colon + 1, &options->port) || options->port == 0 || options->port > 65535) {
        fprintf(stderr, "%s: --listen wants ADDRESS:PORT, not %s\n", argv[0], listen);
        return 2;
    }
    memcpy(options->address, listen, (size_t)(colon - listen));
    options->address[colon - listen] = 0;
    if ((options->chunks > 0 || options->noiseMB > 0) && !options->pid) {
        fprintf(stderr, "%s: --flood and --noise need the overlay's --pid\n", argv[0]);
        return 2;
    }
    return 0;
}

int main(int argc, char** argv)
{
    Options options;
    int refused = parseOptions(argc, argv, &options);
    if (refused)
        return refused;

    Probe probe = {NULL, options.window, -1, options.label, options.clock, options.pid};
    if (watchWindow(&probe))
        return 1;
    int listener;
    probe.peer = acceptOverlay(options.address, options.port, &listener);
    if (probe.peer < 0)
        return 1;

    if (measureMessages(&probe, options.messages))
        return 1;

    /* The marker's pixels, for knowing when a backlog has been applied. */
    XImage* marker = NULL;
    if (options.chunks > 0 || options.noiseMB > 0) {
        marker = settleLabel(probe.dpy, probe.window, probe.peer, probe.label, kMarker);
        if (!marker) {
            fprintf(stderr, "the marker never reached the label\n");
            return 1;
        }
    }
    if (options.chunks > 0 && measureFlood(&probe, marker, options.chunks))
        return 1;
    if (options.noiseMB > 0 && measureNoise(&probe, marker, options.noiseMB))
        return 1;
    if (marker)
        XDestroyImage(marker);

    if (measureIdle(&probe, options.idleSeconds))
        return 1;
    close(probe.peer);
    close(listener);
    XCloseDisplay(probe.dpy);
    return 0;
}
