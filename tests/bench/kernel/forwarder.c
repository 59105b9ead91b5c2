/* The floor of the latency benchmark: the least a key remapper can do. It
 * reads a boot keyboard's input reports from its hidraw node and, for every
 * press of the watched key, writes one key (down and up) to its own uinput
 * keyboard.
 *
 *   velmor_bench_forwarder HIDRAW [EVDEV...]
 *
 * The evdev nodes are grabbed, as any remapper keeps the device's own keys
 * away. Prints "ready" once the virtual keyboard exists; ends when the device
 * goes away or on SIGTERM.
 */
#include <errno.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

enum { watchedUsage = 0x1E, outputKey = KEY_Z, reportSize = 8 };

static int createKeyboard(void)
{
    int fd = open("/dev/uinput", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct uinput_setup setup;
    memset(&setup, 0, sizeof setup);
    setup.id.bustype = BUS_VIRTUAL;
    strncpy(setup.name, "Velmor Bench Forwarder", UINPUT_MAX_NAME_SIZE - 1);
    if (ioctl(fd, UI_SET_EVBIT, EV_KEY) < 0 || ioctl(fd, UI_SET_KEYBIT, outputKey) < 0
        || ioctl(fd, UI_DEV_SETUP, &setup) < 0 || ioctl(fd, UI_DEV_CREATE) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

static int holdsWatchedKey(const unsigned char* report, ssize_t size)
{
    for (ssize_t i = 2; i < size && i < reportSize; ++i)
        if (report[i] == watchedUsage)
            return 1;
    return 0;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s HIDRAW [EVDEV...]\n", argv[0]);
        return 2;
    }
    const int hidraw = open(argv[1], O_RDONLY | O_CLOEXEC);
    if (hidraw < 0) {
        perror(argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const int evdev = open(argv[i], O_RDONLY | O_CLOEXEC);
        if (evdev < 0 || ioctl(evdev, EVIOCGRAB, 1) < 0)
            perror(argv[i]); /* kept open for as long as we run: the grab lasts */
    }
    const int keyboard = createKeyboard();
    if (keyboard < 0) {
        perror("uinput");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    struct input_event events[4];
    memset(events, 0, sizeof events);
    const int values[4][3] = {
        {EV_KEY, outputKey, 1}, {EV_SYN, SYN_REPORT, 0}, {EV_KEY, outputKey, 0}, {EV_SYN, SYN_REPORT, 0}};
    for (int i = 0; i < 4; ++i) {
        events[i].type = (unsigned short)values[i][0];
        events[i].code = (unsigned short)values[i][1];
        events[i].value = values[i][2];
    }

    unsigned char report[64];
    int held = 0;
    for (;;) {
        const ssize_t size = read(hidraw, report, sizeof report);
        if (size < 0 && errno == EINTR)
            continue;
        if (size <= 0)
            return 0; /* the device went away */
        const int holds = holdsWatchedKey(report, size);
        if (holds && !held && write(keyboard, events, sizeof events) != (ssize_t)sizeof events)
            perror("uinput write");
        held = holds;
    }
}
