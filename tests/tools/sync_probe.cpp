// Timestamps for the sync benchmark, all on the monotonic clock in
// microseconds, so the pictures shown and the sound heard can be compared.
// Usage: sync_probe record FILE   copies standard input (a recording) to
//          FILE; one line per read on stdout: TIME BYTES_SO_FAR
//        sync_probe grab SECONDS X Y W H  grabs that rectangle of the X
//          display's root window as fast as it can for SECONDS; one line per
//          grab: TIME MEAN (TIME halfway through the grab; MEAN: the mean of
//          the red, green and blue of its pixels, 0..255)
// Exit 0, or 1 when the file or the display cannot be opened.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

static const size_t READ_BYTES = 4096;
static const useconds_t GRAB_PAUSE_US = 4000;

static uint64_t now_us()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint64_t)t.tv_sec * 1000000u + (uint64_t)t.tv_nsec / 1000u;
}

static int record(const char* path)
{
    FILE* out = fopen(path, "wb");
    if (!out) return 1;
    char buffer[READ_BYTES];
    uint64_t total = 0;
    for (;;) {
        const ssize_t got = read(0, buffer, sizeof buffer);
        if (got <= 0) break;
        const uint64_t at = now_us();
        fwrite(buffer, 1, (size_t)got, out);
        total += (uint64_t)got;
        printf("%llu %llu\n", (unsigned long long)at, (unsigned long long)total);
    }
    fclose(out);
    return 0;
}

// Mean of the three channels over the image (32 bits per pixel, the
// alpha or padding byte left out; any other depth through XGetPixel).
static double image_mean(XImage* image)
{
    uint64_t sum = 0;
    for (int y = 0; y < image->height; y++) {
        const uint8_t* row = (const uint8_t*)image->data + (size_t)y * image->bytes_per_line;
        for (int x = 0; x < image->width; x++) {
            if (image->bits_per_pixel == 32) {
                sum += (uint64_t)row[4 * x] + row[4 * x + 1] + row[4 * x + 2];
            } else {
                const unsigned long p = XGetPixel(image, x, y);
                sum += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
            }
        }
    }
    return (double)sum / (3.0 * image->width * image->height);
}

// Through shared memory: a whole 800 x 600 grab costs a copy, not a trip
// of its pixels through the socket.
static int grab(double seconds, int x, int y, unsigned width, unsigned height)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display || !XShmQueryExtension(display)) return 1;
    const Window root = DefaultRootWindow(display);
    XShmSegmentInfo shm = {};
    XImage* image = XShmCreateImage(display, DefaultVisual(display, DefaultScreen(display)),
                                    (unsigned)DefaultDepth(display, DefaultScreen(display)), ZPixmap, nullptr,
                                    &shm, width, height);
    if (!image) return 1;
    shm.shmid = shmget(IPC_PRIVATE, (size_t)image->bytes_per_line * height, IPC_CREAT | 0600);
    shm.shmaddr = image->data = (char*)shmat(shm.shmid, nullptr, 0);
    shm.readOnly = False;
    XShmAttach(display, &shm);
    // Removed once both ends have let go of it.
    shmctl(shm.shmid, IPC_RMID, nullptr);
    const uint64_t end = now_us() + (uint64_t)(seconds * 1e6);
    for (uint64_t before = now_us(); before < end; before = now_us()) {
        if (!XShmGetImage(display, root, image, x, y, AllPlanes)) continue;
        const uint64_t after = now_us();
        printf("%llu %.2f\n", (unsigned long long)((before + after) / 2), image_mean(image));
        // About 200 grabs a second leave the processor to the program.
        usleep(GRAB_PAUSE_US);
    }
    XShmDetach(display, &shm);
    XDestroyImage(image);
    shmdt(shm.shmaddr);
    XCloseDisplay(display);
    return 0;
}

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc == 3 && strcmp(argv[1], "record") == 0) return record(argv[2]);
    if (argc == 7 && strcmp(argv[1], "grab") == 0) {
        return grab(atof(argv[2]), atoi(argv[3]), atoi(argv[4]), (unsigned)atoi(argv[5]), (unsigned)atoi(argv[6]));
    }
    fputs("usage: sync_probe record FILE | sync_probe grab SECONDS X Y W H\n", stderr);
    return 1;
}
