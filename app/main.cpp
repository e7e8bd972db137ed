#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "window/form1.h"

namespace {

// Without this check Qt aborts with a page of plugin diagnostics when there is no display.
bool NoDisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const auto unset = [](const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr || *value == '\0';
    };
    return unset("DISPLAY") && unset("WAYLAND_DISPLAY") && unset("QT_QPA_PLATFORM");
#else
    return false;
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
    if (NoDisplay()) {
        std::fprintf(stderr, "%s: no display found; run it under Xvfb: xvfb-run -a %s\n", argv[0],
                     argv[0]);
        return 1;
    }
    QApplication app(argc, argv);
    Form1 form;
    form.show();
    return app.exec();
}
