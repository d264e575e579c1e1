// Waits on an X display for a top-level window of the given title to be mapped and prints the
// moment it was, in nanoseconds of the real-time clock. It listens for the event instead of polling,
// so the measurement leaves both cores to the program measured. Prints "ready" once it listens.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

namespace {

std::string titleOf(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, window, property, type, 0, 1024);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &free);
    if (!reply)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       static_cast<size_t>(xcb_get_property_value_length(reply.get())));
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name),
                              nullptr),
        &free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: wait_for_window TITLE   (the display from $DISPLAY)\n");
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "wait_for_window: no display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_request_check(connection, xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask));
    const xcb_atom_t netName = atom(connection, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
    std::printf("ready\n");
    std::fflush(stdout);

    const std::string wanted = argv[1];
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        const xcb_window_t window = mapped ? reinterpret_cast<xcb_map_notify_event_t*>(event)->window : 0;
        free(event);
        if (mapped && (titleOf(connection, window, netName, utf8) == wanted ||
                       titleOf(connection, window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY) == wanted)) {
            std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            xcb_disconnect(connection);
            return 0;
        }
    }
    xcb_disconnect(connection);
    return 1;
}
