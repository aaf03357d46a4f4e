/* Starts an image viewer and times, from outside the viewer, when its picture
 * is on screen. Works the same for every viewer: it watches the X server,
 * never the viewer's own output.
 *
 *   onscreen [--key KEYSYM [--keys N --gap MS]] [--hold KEYSYM [--hold-s S] [--repeat-ms MS]]
 *            [--idle SECONDS] [--timeout SECONDS] -- command args...
 *
 * "On screen" means the 9x9 block around the centre of the viewer's largest
 * mapped top-level window averages to a bright colour (some channel >= 120):
 * the bench's pictures are all bright, and every viewer's background is dark.
 * With --key, once the first picture shows, the viewer's window is given the
 * keyboard once (a focus change wakes a viewer, so it never comes with a key)
 * and the key is pressed through XTest; the time until the centre shows a
 * clearly different bright colour is measured. With --keys N the key is
 * pressed N times, one press every --gap ms (or at once when the picture came
 * later than that), and key_ms is the median of the N times. With --idle, the
 * viewer's CPU use (with its children) is sampled over that many seconds while
 * the picture stands still. With --hold, the key is held for --hold-s seconds
 * (default 3) with a release and a press every --repeat-ms ms (default 40, the
 * X server's own repeat is switched off), as auto-repeat sends them: hold_ms
 * is the longest time one picture stayed on screen while the key was held,
 * release_ms the time from the release to the last new picture (0 when it was
 * already there).
 *
 * Prints "first_ms=.. key_ms=.. idle_pct=.. hwm_kb=.. hold_ms=.. release_ms=.."
 * on one line; a figure that could not be taken is "-". The exit status is 0
 * when the first picture showed, 1 otherwise.
 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

/* A visibly different picture: some channel moved this far. */
enum { change_threshold = 25, bright_level = 120 };

struct rgb { int r, g, b; };

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void sleep_ms(double ms) {
    struct timespec t = { (time_t)(ms / 1000), (long)((ms - (long)(ms / 1000) * 1000) * 1e6) };
    nanosleep(&t, NULL);
}

/* The largest viewable top-level window: the viewer's main window. */
static Window viewer_window(Display* d, int* cx, int* cy) {
    Window root = DefaultRootWindow(d), parent, *children = NULL, best = 0;
    unsigned n = 0;
    long best_area = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable) continue;
        if (a.width < 100 || a.height < 100 || a.override_redirect) continue;
        long area = (long)a.width * a.height;
        if (area > best_area) {
            best_area = area;
            best = children[i];
            *cx = a.x + a.border_width + a.width / 2;
            *cy = a.y + a.border_width + a.height / 2;
        }
    }
    if (children) XFree(children);
    return best;
}

/* Mean colour of the 9x9 block around (cx, cy), read from the screen. */
static int centre_colour(Display* d, int cx, int cy, struct rgb* out) {
    XImage* img = XGetImage(d, DefaultRootWindow(d), cx - 4, cy - 4, 9, 9, AllPlanes, ZPixmap);
    if (!img) return 0;
    long r = 0, g = 0, b = 0;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            unsigned long p = XGetPixel(img, x, y);
            r += (p >> 16) & 0xff;
            g += (p >> 8) & 0xff;
            b += p & 0xff;
        }
    XDestroyImage(img);
    out->r = (int)(r / 81);
    out->g = (int)(g / 81);
    out->b = (int)(b / 81);
    return 1;
}

static int bright(struct rgb c) { return c.r >= bright_level || c.g >= bright_level || c.b >= bright_level; }

static int differs(struct rgb a, struct rgb b) {
    return abs(a.r - b.r) > change_threshold || abs(a.g - b.g) > change_threshold || abs(a.b - b.b) > change_threshold;
}

/* Polls the screen every millisecond until the viewer's centre is bright
 * and, when `unlike` is given, differs from it. Returns the time, or -1. */
static double wait_picture(Display* d, pid_t child, double deadline, const struct rgb* unlike, struct rgb* seen,
                           Window* win) {
    while (now_ms() < deadline) {
        int cx, cy;
        Window w = viewer_window(d, &cx, &cy);
        struct rgb c;
        if (w && centre_colour(d, cx, cy, &c) && bright(c) && (!unlike || differs(c, *unlike))) {
            double t = now_ms();
            *seen = c;
            *win = w;
            return t;
        }
        if (waitpid(child, NULL, WNOHANG) == child) return -1;
        sleep_ms(1);
    }
    return -1;
}

/* utime + stime in clock ticks of the process and its descendants. */
static long long tree_ticks(pid_t root) {
    long long total = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return 0;
    struct dirent* e;
    while ((e = readdir(proc))) {
        pid_t pid = (pid_t)atoi(e->d_name);
        if (pid <= 0) continue;
        char path[64], buf[1024];
        snprintf(path, sizeof path, "/proc/%d/stat", pid);
        FILE* f = fopen(path, "r");
        if (!f) continue;
        size_t len = fread(buf, 1, sizeof buf - 1, f);
        fclose(f);
        buf[len] = 0;
        char* p = strrchr(buf, ')');
        if (!p) continue;
        int ppid = 0;
        unsigned long long ut = 0, st = 0;
        /* fields after the name: state ppid ... utime(14) stime(15) */
        if (sscanf(p + 2, "%*c %d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &ppid, &ut, &st) != 3) continue;
        /* Descendants: walk up the parent chain to the root. */
        pid_t up = pid;
        int depth = 0, ours = 0;
        while (up > 1 && depth++ < 16) {
            if (up == root) {
                ours = 1;
                break;
            }
            if (up != pid) {
                snprintf(path, sizeof path, "/proc/%d/stat", up);
                f = fopen(path, "r");
                if (!f) break;
                len = fread(buf, 1, sizeof buf - 1, f);
                fclose(f);
                buf[len] = 0;
                p = strrchr(buf, ')');
                if (!p || sscanf(p + 2, "%*c %d", &ppid) != 1) break;
            }
            up = ppid;
        }
        if (ours) total += (long long)(ut + st);
    }
    closedir(proc);
    return total;
}

static long hwm_kb(pid_t pid) {
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", pid);
    FILE* f = fopen(path, "r");
    long kb = -1;
    if (!f) return -1;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
    fclose(f);
    return kb;
}

/* Windows come and go while we look (a viewer may probe with a short-lived
 * one); a request on a vanished window is simply not answered. */
static int ignore_x_error(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e;
    return 0;
}

static void focus(Display* d, Window w, int cx, int cy) {
    XTestFakeMotionEvent(d, -1, cx, cy, CurrentTime);
    XSetInputFocus(d, w, RevertToPointerRoot, CurrentTime);
}

/* Gives the viewer's window the keyboard once, before a series of keys: a
 * focus change wakes a viewer's loop, so it must not come with each key. */
static void focus_for_keys(Display* d, Window w, int cx, int cy) {
    focus(d, w, cx, cy);
    XSync(d, False);
    sleep_ms(100);
}

static void press(Display* d, const char* keysym) {
    KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym));
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XFlush(d);
}

static int by_value(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

/* Presses the key `count` times, `gap_ms` apart from press to press; the
 * median time until a new picture showed, or -1. */
static double key_series(Display* d, pid_t child, const char* key, int count, double gap_ms, double timeout_s,
                         struct rgb* shown) {
    double times[256];
    int taken = 0;
    if (count > 256) count = 256;
    int fx, fy;
    Window fw = viewer_window(d, &fx, &fy);
    if (fw) focus_for_keys(d, fw, fx, fy);
    for (int i = 0; i < count; ++i) {
        int cx, cy;
        Window w = viewer_window(d, &cx, &cy), seen_in;
        if (!w) break;
        double t0 = now_ms();
        press(d, key);
        double t1 = wait_picture(d, child, t0 + timeout_s * 1e3, shown, shown, &seen_in);
        if (t1 < 0) {
            fprintf(stderr, "onscreen: key %d of %d: no new picture\n", i + 1, count);
            break;
        }
        times[taken++] = t1 - t0;
        double next = t0 + gap_ms;
        if (now_ms() < next) sleep_ms(next - now_ms());
    }
    if (taken < count) return -1;
    qsort(times, (size_t)taken, sizeof times[0], by_value);
    return taken % 2 ? times[taken / 2] : (times[taken / 2 - 1] + times[taken / 2]) / 2;
}

/* Holds the key as auto-repeat does and watches the pictures go by. */
static void hold_key(Display* d, const char* key, double hold_s, double repeat_ms, struct rgb last, double* hold_ms,
                     double* release_ms) {
    int cx, cy;
    Window w = viewer_window(d, &cx, &cy);
    *hold_ms = *release_ms = -1;
    if (!w) return;
    KeyCode code = XKeysymToKeycode(d, XStringToKeysym(key));
    XAutoRepeatOff(d);
    focus(d, w, cx, cy);
    double start = now_ms(), next_press = start, end = start + hold_s * 1e3;
    double changed = start, longest = 0;
    while (now_ms() < end) {
        if (now_ms() >= next_press) {
            /* The server drops a second press of a key that is down, so each
             * repeat is sent as X's own auto-repeat sends it: a release and
             * a press. */
            if (next_press > start) XTestFakeKeyEvent(d, code, False, CurrentTime);
            XTestFakeKeyEvent(d, code, True, CurrentTime);
            XFlush(d);
            next_press += repeat_ms;
        }
        struct rgb c;
        if (centre_colour(d, cx, cy, &c) && bright(c) && differs(c, last)) {
            double t = now_ms();
            if (t - changed > longest) longest = t - changed;
            changed = t;
            last = c;
        }
        sleep_ms(1);
    }
    double released = now_ms();
    if (released - changed > longest) longest = released - changed;
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XFlush(d);
    /* The last new picture is the final one once a second passes without another. */
    double last_change = changed;
    while (now_ms() - (last_change > released ? last_change : released) < 1000) {
        struct rgb c;
        if (centre_colour(d, cx, cy, &c) && bright(c) && differs(c, last)) {
            last_change = now_ms();
            last = c;
        }
        sleep_ms(1);
    }
    XAutoRepeatOn(d);
    XFlush(d);
    *hold_ms = longest;
    *release_ms = last_change > released ? last_change - released : 0;
}

int main(int argc, char** argv) {
    const char* key = NULL;
    const char* hold = NULL;
    double idle_s = 0, timeout_s = 20, gap_ms = 0, hold_s = 3, repeat_ms = 40;
    int keys = 1;
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (!strcmp(argv[i], "--key") && i + 1 < argc) key = argv[++i];
        else if (!strcmp(argv[i], "--keys") && i + 1 < argc) keys = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--gap") && i + 1 < argc) gap_ms = atof(argv[++i]);
        else if (!strcmp(argv[i], "--hold") && i + 1 < argc) hold = argv[++i];
        else if (!strcmp(argv[i], "--hold-s") && i + 1 < argc) hold_s = atof(argv[++i]);
        else if (!strcmp(argv[i], "--repeat-ms") && i + 1 < argc) repeat_ms = atof(argv[++i]);
        else if (!strcmp(argv[i], "--idle") && i + 1 < argc) idle_s = atof(argv[++i]);
        else if (!strcmp(argv[i], "--timeout") && i + 1 < argc) timeout_s = atof(argv[++i]);
        else {
            fprintf(stderr, "usage: onscreen [--key KEYSYM [--keys N --gap MS]] [--hold KEYSYM [--hold-s S] "
                            "[--repeat-ms MS]] [--idle S] [--timeout S] -- command...\n");
            return 2;
        }
    }
    if (i + 1 >= argc) return 2;
    Display* d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "onscreen: no display\n");
        return 2;
    }

    XSetErrorHandler(ignore_x_error);
    double start = now_ms();
    pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        /* The viewer ends with us, and never holds our output open. */
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        execvp(argv[i + 1], argv + i + 1);
        _exit(127);
    }
    struct rgb first, next;
    Window w = 0;
    double shown = wait_picture(d, child, start + timeout_s * 1e3, NULL, &first, &w);
    double first_ms = shown < 0 ? -1 : shown - start, key_ms = -1, idle_pct = -1, hold_ms = -1, release_ms = -1;
    long hwm = -1;
    if (shown >= 0) {
        /* Let the first picture settle (a viewer may still be drawing it,
         * or decoding ahead), then take its final colour. */
        sleep_ms(400);
        int cx, cy;
        if (viewer_window(d, &cx, &cy)) centre_colour(d, cx, cy, &first);
        if (idle_s > 0) {
            long long before = tree_ticks(child);
            double t0 = now_ms();
            sleep_ms(idle_s * 1e3);
            long long after = tree_ticks(child);
            idle_pct = (double)(after - before) / sysconf(_SC_CLK_TCK) * 1e5 / (now_ms() - t0);
        }
        hwm = hwm_kb(child);
        if (key && keys > 1) {
            next = first;
            key_ms = key_series(d, child, key, keys, gap_ms, timeout_s, &next);
        } else if (key) {
            Window kw = viewer_window(d, &cx, &cy);
            if (kw) focus_for_keys(d, kw, cx, cy);
            double t0 = now_ms();
            press(d, key);
            double t1 = wait_picture(d, child, t0 + timeout_s * 1e3, &first, &next, &w);
            if (t1 >= 0) key_ms = t1 - t0;
        }
        if (hold) hold_key(d, hold, hold_s, repeat_ms, first, &hold_ms, &release_ms);
    }
    /* The whole group: a viewer's helpers end with it. */
    kill(-child, SIGTERM);
    kill(child, SIGTERM);
    for (int k = 0; k < 200 && waitpid(child, NULL, WNOHANG) != child; ++k) sleep_ms(10);
    kill(-child, SIGKILL);
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
    XCloseDisplay(d);

    char f[32], k[32], c[32], m[32], h[32], r[32];
    snprintf(h, sizeof h, hold_ms < 0 ? "-" : "%.1f", hold_ms);
    snprintf(r, sizeof r, release_ms < 0 ? "-" : "%.1f", release_ms);
    snprintf(f, sizeof f, first_ms < 0 ? "-" : "%.1f", first_ms);
    snprintf(k, sizeof k, key_ms < 0 ? "-" : "%.1f", key_ms);
    snprintf(c, sizeof c, idle_pct < 0 ? "-" : "%.2f", idle_pct);
    snprintf(m, sizeof m, hwm < 0 ? "-" : "%ld", hwm);
    printf("first_ms=%s key_ms=%s idle_pct=%s hwm_kb=%s hold_ms=%s release_ms=%s\n", f, k, c, m, h, r);
    return shown >= 0 ? 0 : 1;
}
