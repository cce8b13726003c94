// Sends a window manager's close request (WM_DELETE_WINDOW) to the window
// whose title is given, as a desktop would when the user closes it.
// Usage: window_close_request TITLE. Exit 0 when sent, 1 when not found.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstdio>
#include <cstring>

static Window find_window(Display* display, Window root, const char* title)
{
    char* name = nullptr;
    if (XFetchName(display, root, &name) && name) {
        const bool match = strcmp(name, title) == 0;
        XFree(name);
        if (match) return root;
    }
    Window parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, root, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; i++) found = find_window(display, children[i], title);
        if (children) XFree(children);
    }
    return found;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: window_close_request TITLE\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        fprintf(stderr, "window_close_request: no display\n");
        return 1;
    }
    const Window window = find_window(display, DefaultRootWindow(display), argv[1]);
    if (!window) {
        fprintf(stderr, "window_close_request: no window titled %s\n", argv[1]);
        XCloseDisplay(display);
        return 1;
    }
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
