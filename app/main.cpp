#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>
#endif

#include "window/form1.h"

namespace {

[[maybe_unused]] bool NotSet(const char* name) {  // unused where there is no X
    const char* value = std::getenv(name);
    return value == nullptr || *value == '\0';
}

struct DisplayCheck {
    std::string problem;  // empty when the window can open
    // The checking connection stays open until Qt has its own: an X server resets when its last
    // client leaves, and a connection made during the reset is refused.
    std::shared_ptr<void> connection;
};

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
// Whether a Wayland compositor listens where Qt's Wayland platform connects: the socket named
// by WAYLAND_DISPLAY, in XDG_RUNTIME_DIR unless the name is a path.
bool WaylandAnswers(const std::string& name) {
    std::string path = name;
    if (!name.starts_with('/')) {
        if (NotSet("XDG_RUNTIME_DIR")) {
            return false;
        }
        path = std::string(std::getenv("XDG_RUNTIME_DIR")) + '/' + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    path.copy(address.sun_path, path.size());
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answers =
        socket >= 0 &&
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (socket >= 0) {
        ::close(socket);
    }
    return answers;
}
#endif

// Qt aborts with a page of plugin diagnostics and a core dump when no display answers, so find
// that out first, where Qt would look: unless told which platform to use, it tries Wayland in
// a Wayland session (WAYLAND_DISPLAY or XDG_SESSION_TYPE set for it), then X. Nothing is
// checked when Qt was told to use something else.
DisplayCheck CheckDisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const std::string_view platform =
        NotSet("QT_QPA_PLATFORM") ? "" : std::getenv("QT_QPA_PLATFORM");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const bool wayland = platform.empty()
                             ? !NotSet("WAYLAND_DISPLAY") ||
                                   (session != nullptr && std::string_view(session) == "wayland")
                             : platform.starts_with("wayland");
    const bool onX = platform.empty() || platform == "xcb";
    std::string problem;
    if (wayland) {
        const std::string name =
            NotSet("WAYLAND_DISPLAY") ? "wayland-0" : std::getenv("WAYLAND_DISPLAY");
        // WAYLAND_SOCKET hands over a connection already made.
        if (!NotSet("WAYLAND_SOCKET") || WaylandAnswers(name)) {
            return {};
        }
        problem = "cannot open the Wayland display " + name;
    }
    if (!onX) {
        return {problem, nullptr};
    }
    if (NotSet("DISPLAY")) {
        return {problem.empty() ? "no display found" : problem, nullptr};
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    std::shared_ptr<void> held(connection, [](void* checking) {
        xcb_disconnect(static_cast<xcb_connection_t*>(checking));
    });
    if (xcb_connection_has_error(connection) != 0) {
        return {(problem.empty() ? "cannot open" : problem + " or") + " the display " +
                    std::getenv("DISPLAY"),
                nullptr};
    }
    return {{}, held};
#else
    return {};
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
    DisplayCheck display = CheckDisplay();
    if (const std::string& problem = display.problem; !problem.empty()) {
        std::fprintf(stderr,
                     "%s: %s; to see the window, start it in a desktop session, or log in with "
                     "ssh -X from a computer with a screen and start it there\n",
                     argv[0], problem.c_str());
        return 1;
    }
    // Named as its desktop entry (the Wayland app id) and its X window class (which the entry
    // names as StartupWMClass), docks show the running window with the launcher's icon, once.
    QGuiApplication::setDesktopFileName(QStringLiteral(NESTEGG_APP_ID));
    QCoreApplication::setApplicationName(QStringLiteral(NESTEGG_APP_ID));
    QApplication app(argc, argv);
    display.connection.reset();
    Form1 form;
    form.show();
    return app.exec();
}
