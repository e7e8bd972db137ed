// How long pasting a long text into a box of the window takes (offscreen), with and without
// control characters for the box to drop.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

#include "window/form1.h"

namespace {

constexpr qsizetype kPastedLength = 2'560'000;

// Digits, or digits with an escape (as a terminal's colour codes start) between each two.
QString Pasted(bool controls) {
    QString text(kPastedLength, QLatin1Char('4'));
    for (qsizetype i = 1; controls && i < text.size(); i += 2) {
        text[i] = QChar(0x1b);
    }
    return text;
}

void Paste(benchmark::State& state, bool controls) {
    Form1 window;
    window.show();
    auto* box = window.findChild<QLineEdit*>(QStringLiteral("inStartBal"));
    QGuiApplication::clipboard()->setText(Pasted(controls));
    const qsizetype kept = controls ? kPastedLength / 2 : kPastedLength;
    for (auto _ : state) {
        state.PauseTiming();
        box->clear();
        state.ResumeTiming();
        box->paste();
        if (box->text().size() != kept) {
            state.SkipWithError("the box does not hold the pasted text");
            break;
        }
    }
}

BENCHMARK_CAPTURE(Paste, Digits, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Paste, DigitsAndControls, true)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
