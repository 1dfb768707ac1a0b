#include "gui/x11window.h"

#include <QGuiApplication>
#include <QString>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

// The connection of the X11 platform, or none on another.
xcb_connection_t *x11Connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
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

void SetTitleQuietly(QWidget *window, const QString &title)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window->testAttribute(Qt::WA_WState_Created)) {
        window->setWindowTitle(title);
        return;
    }
    // Qt sets a window's event mask once, when it creates the window.
    const auto id = xcb_window_t(window->winId());
    static xcb_window_t known = XCB_WINDOW_NONE;
    static uint32_t listening = 0;
    if (id != known) {
        xcb_get_window_attributes_reply_t *reply =
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr);
        if (!reply) {
            window->setWindowTitle(title);
            return;
        }
        listening = reply->your_event_mask;
        known = id;
        std::free(reply);
    }
    const uint32_t deaf = listening & ~uint32_t(XCB_EVENT_MASK_PROPERTY_CHANGE);
    xcb_grab_server(connection);
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &deaf);
    window->setWindowTitle(title);
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &listening);
    xcb_ungrab_server(connection);
    xcb_flush(connection);
}
