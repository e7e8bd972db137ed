#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include <xcb/xcb.h>
#endif

#include "window/form1.h"

namespace {

bool NotSet(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr || *value == '\0';
}

// Qt aborts with a page of plugin diagnostics and a core dump when there is no display or the
// X server named in DISPLAY does not answer, so find that out first. Returns what is wrong, or
// an empty text when the window can open (or when Qt was told to use something other than X).
std::string DisplayProblem() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool onX = NotSet("QT_QPA_PLATFORM") || std::string_view(platform) == "xcb";
    if (!onX || !NotSet("WAYLAND_DISPLAY")) {
        return {};
    }
    if (NotSet("DISPLAY")) {
        return "no display found";
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool refused = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (refused) {
        return std::string("cannot open the display ") + std::getenv("DISPLAY");
    }
#endif
    return {};
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const std::string problem = DisplayProblem(); !problem.empty()) {
        std::fprintf(stderr,
                     "%s: %s; to see the window, start it in a desktop session, or log in with "
                     "ssh -X from a computer with a screen and start it there\n",
                     argv[0], problem.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    Form1 form;
    form.show();
    return app.exec();
}
