// On a real X display: the title the program writes on every tick, and a
// window manager's copies of it, come back to it as no event, while other
// clients' changes to the window still do.
// The "quiet_title" scenario runs it on the bare display.
#include "gui/x11window.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

class PropertyChanges : public QAbstractNativeEventFilter
{
public:
    explicit PropertyChanges(xcb_window_t window) : m_window(window) {}
    QList<xcb_atom_t> atoms;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if (type == "xcb_generic_event_t" && (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            if (change->window == m_window)
                atoms.append(change->atom);
        }
        return false;
    }

private:
    xcb_window_t m_window;
};

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QByteArray property(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t *type = nullptr)
{
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, name, XCB_ATOM_ANY, 0, 1024),
                               nullptr),
        &std::free);
    if (!reply)
        return {};
    if (type)
        *type = reply->type;
    return {static_cast<const char *>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get())};
}

// Every request sent before has been handled and its events are queued.
void roundTrip(xcb_connection_t *connection)
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

TEST(QuietTitle, TitleWritesAndTheirCopiesComeBackAsNoEventWhileOtherChangesStillDo)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    xcb_connection_t *ours = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    QWidget window;
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto id = xcb_window_t(window.winId());
    PropertyChanges changes(id);
    qApp->installNativeEventFilter(&changes);
    roundTrip(ours);
    QTest::qWait(100);
    changes.atoms.clear();

    for (int i = 0; i < 5; ++i)
        SetTitleQuietly(&window, QStringLiteral("Quavette - %1/9000 - [*].mid").arg(i * 16));
    // A window manager's copy of the title, then another client's change.
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    xcb_change_property(other, XCB_PROP_MODE_REPLACE, id, atom(other, "_NET_WM_VISIBLE_NAME"),
                        atom(other, "UTF8_STRING"), 8, 4, "copy");
    const xcb_atom_t mark = atom(other, "QUAVETTE_TEST_MARK");
    xcb_change_property(other, XCB_PROP_MODE_REPLACE, id, mark, XCB_ATOM_STRING, 8, 1, "x");
    roundTrip(other);
    QElapsedTimer waited;
    waited.start();
    while (changes.atoms.isEmpty() && waited.elapsed() < 5000)
        QTest::qWait(10);

    EXPECT_EQ(changes.atoms, QList<xcb_atom_t>{mark});
    // On screen at once; Qt's copy, in its own escaped form, once settled.
    EXPECT_EQ(property(other, id, atom(other, "_NET_WM_NAME")), QByteArray("Quavette - 64/9000 - [*].mid"));
    EXPECT_EQ(property(other, id, XCB_ATOM_WM_NAME), QByteArray("Quavette - 64/9000 - [*].mid"));
    waited.restart();
    while (window.windowTitle() != QStringLiteral("Quavette - 64/9000 - [*][*].mid") && waited.elapsed() < 5000)
        QTest::qWait(10);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quavette - 64/9000 - [*][*].mid"));
    EXPECT_EQ(property(other, id, XCB_ATOM_WM_NAME), QByteArray("Quavette - 64/9000 - [*].mid"));

    // WM_NAME as Qt itself writes it, in the locale's encoding, for a title
    // beyond ASCII too.
    const QString wide = QStringLiteral("Quavette - 16/9000 - \u66f2 \u00e9.mid");
    SetTitleQuietly(&window, wide);
    roundTrip(ours);
    xcb_atom_t ourType = XCB_ATOM_NONE, qtType = XCB_ATOM_NONE;
    const QByteArray ourName = property(other, id, XCB_ATOM_WM_NAME, &ourType);
    waited.restart();
    while (window.windowTitle() != wide && waited.elapsed() < 5000)
        QTest::qWait(10);
    ASSERT_EQ(window.windowTitle(), wide);
    window.setWindowTitle(wide + QLatin1Char(' ')); // Qt's own write of the same
    window.setWindowTitle(wide);
    roundTrip(ours);
    EXPECT_EQ(ourName, property(other, id, XCB_ATOM_WM_NAME, &qtType));
    EXPECT_EQ(ourType, qtType);
    EXPECT_EQ(property(other, id, atom(other, "_NET_WM_NAME")), wide.toUtf8());

    // An empty title, Qt's to write, is not overtaken by a settling copy.
    SetTitleQuietly(&window, wide + QLatin1Char('!'));
    SetTitleQuietly(&window, QString());
    QTest::qWait(600);
    EXPECT_EQ(window.windowTitle(), QString());
    qApp->removeNativeEventFilter(&changes);
    xcb_disconnect(other);
}

} // namespace
