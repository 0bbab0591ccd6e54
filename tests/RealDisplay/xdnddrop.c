/* Drops a file on a window as a file manager does, by the XDND protocol (version 5): enter,
 * position, drop, then the file's URI handed over through the XdndSelection, and the
 * target's finish awaited. xdotool has no drag and drop.
 *
 *   xdnddrop WINDOW_ID FILE      (the id decimal, or hexadecimal with 0x; FILE absolute)
 * Status 0 when the target took the drop, 1 when it refused it or did not answer in 5 s.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static Display* dpy;
static Window source, target;

static void Send(const char* type, long l1, long l2, long l3, long l4)
{
    XEvent e = {0};
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = XInternAtom(dpy, type, False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)source;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(dpy, target, False, NoEventMask, &e);
    XFlush(dpy);
}

/* The next event within the time left; 0 when none came. */
static int Next(XEvent* e, int* msLeft)
{
    while (!XPending(dpy)) {
        if (*msLeft <= 0) return 0;
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, 50);
        *msLeft -= 50;
    }
    XNextEvent(dpy, e);
    return 1;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: xdnddrop WINDOW_ID FILE\n");
        return 2;
    }
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "xdnddrop: no display\n");
        return 1;
    }
    target = (Window)strtoul(argv[1], NULL, 0);
    source = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    const Atom selection = XInternAtom(dpy, "XdndSelection", False);
    const Atom uriList = XInternAtom(dpy, "text/uri-list", False);
    XSetSelectionOwner(dpy, selection, source, CurrentTime);
    char uri[8192];
    snprintf(uri, sizeof uri, "file://%s\r\n", argv[2]);

    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(dpy, target, DefaultRootWindow(dpy), 100, 100, &x, &y, &child);
    Send("XdndEnter", 5L << 24, (long)uriList, 0, 0);
    Send("XdndPosition", 0, ((long)x << 16) | y, CurrentTime, (long)XInternAtom(dpy, "XdndActionCopy", False));
    int left = 5000, dropped = 0, result = 1;
    XEvent e;
    while (Next(&e, &left)) {
        if (e.type == ClientMessage && e.xclient.message_type == XInternAtom(dpy, "XdndStatus", False) && !dropped) {
            if (!(e.xclient.data.l[1] & 1)) break; /* refused */
            Send("XdndDrop", 0, CurrentTime, 0, 0);
            dropped = 1;
        } else if (e.type == SelectionRequest) {
            XSelectionRequestEvent* r = &e.xselectionrequest;
            XEvent n = {0};
            n.xselection.type = SelectionNotify;
            n.xselection.requestor = r->requestor;
            n.xselection.selection = r->selection;
            n.xselection.target = r->target;
            n.xselection.time = r->time;
            n.xselection.property = None;
            if (r->target == uriList) {
                XChangeProperty(dpy, r->requestor, r->property, uriList, 8, PropModeReplace, (const unsigned char*)uri,
                                (int)strlen(uri));
                n.xselection.property = r->property;
            }
            XSendEvent(dpy, r->requestor, False, NoEventMask, &n);
            XFlush(dpy);
        } else if (e.type == ClientMessage && e.xclient.message_type == XInternAtom(dpy, "XdndFinished", False)) {
            result = 0;
            break;
        }
    }
    if (result != 0) fprintf(stderr, "xdnddrop: the window did not take the drop\n");
    XCloseDisplay(dpy);
    return result;
}
