#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <sys/types.h>

struct xcb_connection_t;

// The moment a program's top-level window is mapped, seen from the X server rather than by
// polling: the watch asks for SubstructureNotify on the root window before the program starts,
// wakes on each MapNotify and takes the time then. A top-level window is the program's when its
// _NET_WM_PID (or that of a window it frames, under a reparenting window manager) is the
// program's process. A window mapped on the root is viewable from that moment.
//
// Times are CLOCK_MONOTONIC nanoseconds (clock resolution 1 ns); the watch sleeps in poll() on the
// connection's socket, so a MapNotify is read as soon as the server sends it, not on a retry
// interval. notificationDelayMs() measures what that wake-up costs on the machine at hand.
class WindowWatch
{
public:
    explicit WindowWatch(const QByteArray &display);
    ~WindowWatch();
    WindowWatch(const WindowWatch &) = delete;
    WindowWatch &operator=(const WindowWatch &) = delete;

    // Empty when connected; otherwise why not.
    QString error() const { return m_error; }

    // Throws away the notices queued so far, so that those of a program already gone cost no
    // time while the next one is watched.
    void discardPending();
    struct Mapped
    {
        qint64 at = -1; // monotonicNs() when the MapNotify was read; -1 when none came
        int width = 0;  // the window's size, read after the time is taken
        int height = 0;
        quint32 window = 0;
    };
    // The first top-level window of `pid` mapped within `timeoutMs`, while `running` holds.
    Mapped waitForMap(pid_t pid, int timeoutMs, const std::function<bool()> &running);
    // Median time from mapping a window of the watch's own to reading its MapNotify: an upper
    // bound on how late the watch sees a map, request and server included.
    double notificationDelayMs(int samples);
    // The window's pixels as the server holds them now (empty when it cannot say).
    QByteArray pixels(const Mapped &mapped);

    static qint64 monotonicNs();

private:
    bool belongsTo(quint32 window, pid_t pid);
    pid_t pidOf(quint32 window);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    quint32 m_rootVisual = 0;
    quint32 m_pidAtom = 0;
    QString m_error;
};
