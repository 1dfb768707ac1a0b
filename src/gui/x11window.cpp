#include "gui/x11window.h"

#include "gui/messages.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// The connection of the X11 platform, or none on another; asked on every
// tick, looked up once.
xcb_connection_t *x11Connection()
{
    static xcb_connection_t *const connection = [] {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return static_cast<xcb_connection_t *>(nullptr);
        auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        return x11 ? x11->connection() : nullptr;
    }();
    return connection;
}

// The display Qt connected to, which -display may have chosen.
const char *x11DisplayName()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 && x11->display() ? DisplayString(x11->display()) : nullptr;
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

} // namespace

void OfferOnlyTheCloseBox(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return;
    static const xcb_atom_t property = atom(connection, "_NET_WM_WINDOW_TYPE");
    static const xcb_atom_t types[] = {atom(connection, "_NET_WM_WINDOW_TYPE_TOOLBAR"),
                                       atom(connection, "_NET_WM_WINDOW_TYPE_UTILITY")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), property, XCB_ATOM_ATOM,
                        32, 2, types);
}

namespace {

// Listens to a window's property changes on a connection and a thread of its
// own, and passes on to Qt's connection all but the title texts: the
// window's own and the copies a window manager keeps of them (openbox
// rewrites two properties on every change of the title).
class PropertyForwarder
{
public:
    // Takes over the window's property changes from Qt's connection; null
    // where the display cannot be reached a second time.
    static PropertyForwarder *start(xcb_connection_t *qt, const char *display, xcb_window_t window)
    {
        xcb_connection_t *own = xcb_connect(display, nullptr);
        if (xcb_connection_has_error(own)) {
            xcb_disconnect(own);
            return nullptr;
        }
        const uint32_t properties = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_void_cookie_t selected =
            xcb_change_window_attributes_checked(own, window, XCB_CW_EVENT_MASK, &properties);
        if (xcb_generic_error_t *error = xcb_request_check(own, selected)) {
            std::free(error);
            xcb_disconnect(own);
            return nullptr;
        }
        auto *forwarder = new PropertyForwarder(own, window);
        // Heard here from now on; a change that comes to both meanwhile is
        // only read twice.
        xcb_get_window_attributes_reply_t *attributes =
            xcb_get_window_attributes_reply(qt, xcb_get_window_attributes(qt, window), nullptr);
        if (attributes) {
            const uint32_t rest = attributes->your_event_mask & ~uint32_t(XCB_EVENT_MASK_PROPERTY_CHANGE);
            xcb_change_window_attributes(qt, window, XCB_CW_EVENT_MASK, &rest);
            xcb_flush(qt);
            std::free(attributes);
        }
        std::thread([forwarder] {
            pthread_setname_np(pthread_self(), "XPropertyWatch");
            forwarder->run();
        }).detach();
        return forwarder;
    }

private:
    PropertyForwarder(xcb_connection_t *own, xcb_window_t window)
        : m_own(own)
        , m_window(window)
    {
        for (const char *name : {"WM_NAME", "WM_ICON_NAME", "_NET_WM_NAME", "_NET_WM_ICON_NAME",
                                 "_NET_WM_VISIBLE_NAME", "_NET_WM_VISIBLE_ICON_NAME"})
            m_titles.push_back(atom(own, name));
    }

    void run()
    {
        while (xcb_generic_event_t *event = xcb_wait_for_event(m_own)) {
            bool titlesOnly = true;
            do {
                titlesOnly &= !forward(event);
                std::free(event);
            } while ((event = xcb_poll_for_queued_event(m_own)));
            // A title that changes on every tick brings a stream of these:
            // they are read a batch at a time. Another change waits this
            // long at most.
            if (titlesOnly)
                std::this_thread::sleep_for(std::chrono::milliseconds(QuietMs));
        }
    }

    // Passes on all but the title texts; true for those passed on.
    bool forward(const xcb_generic_event_t *event)
    {
        const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY || change->window != m_window
            || std::find(m_titles.begin(), m_titles.end(), change->atom) != m_titles.end())
            return false;
        // With no event mask, the event goes to the window's creator.
        xcb_send_event(m_own, 0, m_window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(event));
        xcb_flush(m_own);
        return true;
    }

    static constexpr int QuietMs = 50;

    xcb_connection_t *m_own;
    xcb_window_t m_window;
    std::vector<xcb_atom_t> m_titles;
};

// DisplayBatch objects alive.
int g_batches = 0;

// The title Qt would write, written straight to the X server: Qt's own write
// goes through Xlib for WM_NAME, which takes the connection's socket from xcb
// and hands it back, each with a write of its own. Here both properties go
// out in one write, or with the rest of a batch. Qt's copy of the title
// (windowTitle(), the accessible name) is brought into step once the title
// has settled.
class DirectTitle : public QObject
{
public:
    DirectTitle(QWidget *window, xcb_connection_t *connection, Display *display)
        : QObject(window)
        , m_window(window)
        , m_connection(connection)
        , m_display(display)
        , m_id(xcb_window_t(window->winId()))
        , m_netWmName(atom(connection, "_NET_WM_NAME"))
        , m_utf8(atom(connection, "UTF8_STRING"))
    {
        m_settle.setSingleShot(true);
        m_settle.setInterval(SettleMs);
        connect(&m_settle, &QTimer::timeout, this, [this] { m_window->setWindowTitle(EscapeTitlePlaceholder(m_title)); });
    }

    // False for a title Qt would change itself, an empty one, which it names
    // after the program: Qt writes that one, and no settled copy may follow.
    bool write(const QString &title)
    {
        if (title.isEmpty()) {
            m_settle.stop();
            return false;
        }
        m_title = title;
        // As Qt writes them: UTF-8 in _NET_WM_NAME; WM_NAME in the ICCCM
        // encoding of the locale's text (printable ASCII is that text's own
        // bytes as STRING), or the UTF-8 bytes where the locale cannot hold it.
        const QByteArray utf8 = title.toUtf8();
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_id, m_netWmName, m_utf8, 8, utf8.size(),
                            utf8.constData());
        const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
        XTextProperty text{};
        if (!ascii) {
            QByteArray local = title.toLocal8Bit();
            char *list[] = {local.data()};
            if (XmbTextListToTextProperty(m_display, list, 1, XStdICCTextStyle, &text) < 0)
                text.value = nullptr;
        }
        if (text.value) {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_id, XCB_ATOM_WM_NAME, xcb_atom_t(text.encoding),
                                uint8_t(text.format), uint32_t(text.nitems), text.value);
            XFree(text.value);
        } else {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                                utf8.size(), utf8.constData());
        }
        if (g_batches == 0)
            xcb_flush(m_connection);
        m_settle.start();
        return true;
    }

private:
    static constexpr int SettleMs = 300;

    QWidget *m_window;
    xcb_connection_t *m_connection;
    Display *m_display;
    xcb_window_t m_id;
    xcb_atom_t m_netWmName;
    xcb_atom_t m_utf8;
    QString m_title;
    QTimer m_settle;
};

} // namespace

void SetTitleQuietly(QWidget *window, const QString &title)
{
    // One window's title changes on every tick: the main window's. Its
    // forwarder lives as long as the program.
    static PropertyForwarder *forwarder = nullptr;
    static QPointer<DirectTitle> direct;
    // Taken over once the window is on screen, framed and settled.
    xcb_connection_t *connection = nullptr;
    if (!forwarder && (connection = x11Connection()) && window->windowHandle() && window->windowHandle()->isExposed()) {
        forwarder = PropertyForwarder::start(connection, x11DisplayName(), xcb_window_t(window->winId()));
        auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        // Qt appends a display name to a title that lacks it; the program
        // sets none.
        if (forwarder && x11->display()
            && QGuiApplication::applicationDisplayName() == QCoreApplication::applicationName())
            direct = new DirectTitle(window, connection, x11->display());
    }
    if (!direct || direct->parent() != window || !direct->write(title))
        window->setWindowTitle(EscapeTitlePlaceholder(title));
}

DisplayBatch::DisplayBatch()
{
    ++g_batches;
}

DisplayBatch::~DisplayBatch()
{
    if (--g_batches == 0)
        if (xcb_connection_t *connection = x11Connection())
            xcb_flush(connection);
}
