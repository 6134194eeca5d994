#include "WindowWatch.h"

#include "Measure.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <vector>

namespace {

template<typename Reply>
struct Freed
{
    Reply *reply;
    ~Freed() { std::free(reply); }
    Reply *operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

} // namespace

WindowWatch::WindowWatch(const QByteArray &display)
{
    int screenNumber = 0;
    m_connection = xcb_connect(display.constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        m_error =
            QStringLiteral("cannot connect to display %1").arg(QString::fromLocal8Bit(display));
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        m_error = QStringLiteral("display %1 has no screen %2")
                      .arg(QString::fromLocal8Bit(display))
                      .arg(screenNumber);
        return;
    }
    m_root = screens.data->root;
    m_rootVisual = screens.data->root_visual;

    const char pidName[] = "_NET_WM_PID";
    const Freed<xcb_intern_atom_reply_t> atom{xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, std::strlen(pidName), pidName), nullptr)};
    // Before any program starts: a map on the root is then never missed.
    const quint32 mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    const Freed<xcb_generic_error_t> refused{xcb_request_check(
        m_connection,
        xcb_change_window_attributes_checked(m_connection, m_root, XCB_CW_EVENT_MASK, &mask))};
    if (!atom || refused) {
        m_error = QStringLiteral("display %1 refuses to report windows mapped on its root")
                      .arg(QString::fromLocal8Bit(display));
        return;
    }
    m_pidAtom = atom->atom;
}

WindowWatch::~WindowWatch()
{
    xcb_disconnect(m_connection);
}

qint64 WindowWatch::monotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void WindowWatch::discardPending()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
        std::free(event);
}

pid_t WindowWatch::pidOf(quint32 window)
{
    const Freed<xcb_get_property_reply_t> property{xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1),
        nullptr)};
    if (!property || property->format != 32 || xcb_get_property_value_length(property.reply) != 4)
        return 0;
    return pid_t(*static_cast<const quint32 *>(xcb_get_property_value(property.reply)));
}

bool WindowWatch::belongsTo(quint32 window, pid_t pid)
{
    const pid_t owner = pidOf(window);
    if (owner != 0)
        return owner == pid;
    // A window manager's frame: the program's window is one of its children.
    const Freed<xcb_query_tree_reply_t> tree{
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr)};
    if (!tree)
        return false;
    const xcb_window_t *children = xcb_query_tree_children(tree.reply);
    for (int i = 0; i < xcb_query_tree_children_length(tree.reply); ++i) {
        if (pidOf(children[i]) == pid)
            return true;
    }
    return false;
}

WindowWatch::Mapped WindowWatch::waitForMap(pid_t pid, int timeoutMs,
                                            const std::function<bool()> &running)
{
    const qint64 deadline = monotonicNs() + qint64(timeoutMs) * 1000000;
    for (;;) {
        // The time is taken as each notice is read from the socket. A notice that arrives while
        // another window's owner is asked for is read at most that round trip late.
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const qint64 at = monotonicNs();
            xcb_window_t found = XCB_NONE;
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event);
                // Popups and tooltips are override-redirect; the main window never is.
                if (map->event == m_root && !map->override_redirect && belongsTo(map->window, pid))
                    found = map->window;
            }
            std::free(event);
            if (found != XCB_NONE) {
                Mapped mapped;
                mapped.at = at;
                mapped.window = found;
                const Freed<xcb_get_geometry_reply_t> geometry{xcb_get_geometry_reply(
                    m_connection, xcb_get_geometry(m_connection, found), nullptr)};
                if (geometry) {
                    mapped.width = geometry->width;
                    mapped.height = geometry->height;
                }
                return mapped;
            }
        }
        if (xcb_connection_has_error(m_connection)) {
            m_error = QStringLiteral("the display closed the connection");
            return {};
        }
        const qint64 left = deadline - monotonicNs();
        if (left <= 0 || !running())
            return {};
        // Sleeps until the server writes; the 100 ms only bounds how late a program that died
        // without a window is noticed, not when a window is.
        pollfd socket{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&socket, 1, int(qMin<qint64>(left / 1000000 + 1, 100)));
    }
}

double WindowWatch::notificationDelayMs(int samples)
{
    // Override-redirect, so a window manager maps it at once and waitForMap never takes it.
    const xcb_window_t window = xcb_generate_id(m_connection);
    const quint32 overrideRedirect = 1;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, m_rootVisual, XCB_CW_OVERRIDE_REDIRECT,
                      &overrideRedirect);
    xcb_flush(m_connection);
    discardPending();
    std::vector<double> delays;
    for (int sample = 0; sample < samples; ++sample) {
        const qint64 start = monotonicNs();
        xcb_map_window(m_connection, window);
        xcb_flush(m_connection);
        for (bool mapped = false; !mapped;) {
            xcb_generic_event_t *event = xcb_wait_for_event(m_connection);
            if (!event)
                return -1;
            const qint64 at = monotonicNs();
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                reinterpret_cast<const xcb_map_notify_event_t *>(event)->window == window) {
                delays.push_back((at - start) / 1e6);
                mapped = true;
            }
            std::free(event);
        }
        xcb_unmap_window(m_connection, window);
        xcb_flush(m_connection);
    }
    xcb_destroy_window(m_connection, window);
    xcb_flush(m_connection);
    return median(delays);
}

QByteArray WindowWatch::pixels(const Mapped &mapped)
{
    const Freed<xcb_get_image_reply_t> image{
        xcb_get_image_reply(m_connection,
                            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, mapped.window, 0,
                                          0, quint16(mapped.width), quint16(mapped.height), ~0u),
                            nullptr)};
    if (!image)
        return {};
    return QByteArray(reinterpret_cast<const char *>(xcb_get_image_data(image.reply)),
                      xcb_get_image_data_length(image.reply));
}
