/* A window owned by another process, for the tests of drawing into foreign
 * windows: creates and maps an X window (width, height, background 0xRRGGBB
 * from the arguments), prints its id in hex, then obeys lines on standard
 * input: "destroy" destroys the window, "resize W H" resizes it; end of
 * input ends the program (and with it the window). */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    const int width = argc > 1 ? atoi(argv[1]) : 320;
    const int height = argc > 2 ? atoi(argv[2]) : 240;
    const unsigned long background = argc > 3 ? strtoul(argv[3], NULL, 16) : 0x000080;
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "foreign_window: no X display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                        (unsigned)width, (unsigned)height, 0, 0, background);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify)
            break;
    }
    printf("0x%lx\n", (unsigned long)window);
    fflush(stdout);
    char line[128];
    while (fgets(line, sizeof line, stdin)) {
        int w = 0;
        int h = 0;
        if (strncmp(line, "destroy", 7) == 0) {
            XDestroyWindow(display, window);
        } else if (sscanf(line, "resize %d %d", &w, &h) == 2 && w > 0 && h > 0) {
            XResizeWindow(display, window, (unsigned)w, (unsigned)h);
        }
        XSync(display, False);
        printf("done\n");
        fflush(stdout);
    }
    XCloseDisplay(display);
    return 0;
}
