// Starts a program and reports how long it takes until the program's first
// top-level window is mapped on the X display, i.e. shown on screen. The
// program runs unchanged: the window is seen from outside, as a window
// manager would see it. Afterwards the window is asked to close the way a
// window manager's close button does.
//
//   startwatch PROGRAM        (DISPLAY must name a server without other clients)
//
// Prints the time in milliseconds on stdout; exits non-zero when no window
// showed up within 30 s.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template<typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Waits for the first MapNotify among the root window's children.
xcb_window_t waitForMappedWindow(xcb_connection_t *connection, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd descriptor {xcb_get_file_descriptor(connection), POLLIN, 0};
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window =
                mapped ? reinterpret_cast<xcb_map_notify_event_t *>(event)->window : 0;
            std::free(event);
            if (mapped)
                return window;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - Clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(connection))
            return XCB_WINDOW_NONE;
        poll(&descriptor, 1, int(left));
    }
}

void askToClose(xcb_connection_t *connection, xcb_window_t window)
{
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(connection, "WM_PROTOCOLS");
    message.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
}

// Gives the program a few seconds to end on its own, then kills it.
int reap(pid_t child)
{
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(child, &status, WNOHANG) == child)
            return status;
        usleep(50 * 1000);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PROGRAM\n", argv[0]);
        return 2;
    }

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "cannot connect to the X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // Checked, so the selection is in force before the program starts.
    if (xcb_generic_error_t *error = xcb_request_check(
            connection, xcb_change_window_attributes_checked(connection, root,
                                                             XCB_CW_EVENT_MASK, &mask))) {
        std::free(error);
        std::fprintf(stderr, "cannot watch the root window\n");
        return 2;
    }

    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execl(argv[1], argv[1], static_cast<char *>(nullptr));
        _exit(127);
    }

    const xcb_window_t window = waitForMappedWindow(connection, 30000);
    const auto shown = Clock::now();
    if (window == XCB_WINDOW_NONE) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::fprintf(stderr, "no window was shown\n");
        return 1;
    }

    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(shown - start).count());
    askToClose(connection, window);
    const int status = reap(child);
    xcb_disconnect(connection);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "the program did not end normally after the close request\n");
    return 0;
}
