#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
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

// Qt aborts with a page of plugin diagnostics and a core dump when there is no display or the
// X server named in DISPLAY does not answer, so find that out first. Nothing is checked when
// Qt was told to use something other than X.
DisplayCheck CheckDisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool onX = NotSet("QT_QPA_PLATFORM") || std::string_view(platform) == "xcb";
    if (!onX || !NotSet("WAYLAND_DISPLAY")) {
        return {};
    }
    if (NotSet("DISPLAY")) {
        return {"no display found", nullptr};
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    std::shared_ptr<void> held(connection, [](void* checking) {
        xcb_disconnect(static_cast<xcb_connection_t*>(checking));
    });
    if (xcb_connection_has_error(connection) != 0) {
        return {std::string("cannot open the display ") + std::getenv("DISPLAY"), nullptr};
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
    QApplication app(argc, argv);
    display.connection.reset();
    Form1 form;
    form.show();
    return app.exec();
}
