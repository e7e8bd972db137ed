// The calculator's start, up to its window on screen: prints the CLOCK_MONOTONIC time at which
// the window first painted, in nanoseconds, and the peak resident memory in kilobytes, then
// quits. startup_bench runs it.
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>

#include "window/form1.h"

namespace {

class FirstPaint : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            painted_ = now.tv_sec * 1'000'000'000LL + now.tv_nsec;
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

  public:
    long long painted_ = 0;

  private:
    bool seen_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Form1 form;
    FirstPaint firstPaint;
    form.installEventFilter(&firstPaint);
    form.show();
    app.exec();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%lld %ld\n", firstPaint.painted_, usage.ru_maxrss);
    return firstPaint.painted_ > 0 ? 0 : 1;
}
