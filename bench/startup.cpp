// Start-up of the window program as a person sees it: the same steps as
// app/main.cpp, and the time from the process start (QUORBEL_T0, nanoseconds
// of the realtime clock, set by the caller just before starting it) to the
// main window's first expose; then, until SECONDS have passed, the longest
// stall of the GUI thread (a 10 ms timer's lateness) from half a second after
// that expose, while the first connection attempt runs.
//   usage: QUORBEL_T0=$(date +%s%N) startup NAME SECONDS

#include "app/inicio.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>

namespace {

qint64 agora()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The first expose of any window, in milliseconds since the process start.
struct PrimeiroExpose : QObject
{
    qint64 inicio;
    double ms = -1;
    bool eventFilter(QObject *objeto, QEvent *evento) override
    {
        if (ms < 0 && evento->type() == QEvent::Expose && qobject_cast<QWindow *>(objeto)
            && static_cast<QWindow *>(objeto)->isExposed())
            ms = (agora() - inicio) / 1e6;
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    PrimeiroExpose expose;
    expose.inicio = qEnvironmentVariable("QUORBEL_T0").toLongLong();
    const qint64 entrada = agora();
    prepararInicio();
    QApplication app(argc, argv);
    app.installEventFilter(&expose);
    const qint64 aplicacao = agora();
    app.setWindowIcon(QIcon(":/img/icone"));
    MainWindow window;
    const qint64 janela = agora();
    window.show();
    const qint64 mostrada = agora();

    QElapsedTimer relogio;
    qint64 ultimo = 0;
    qint64 pior = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    // Counted from half a second after the first expose (the first paints
    // done) on, while the attempt goes on: what a person waits for once the
    // window is there.
    qint64 desde = -1;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 tempo = relogio.nsecsElapsed();
        if (expose.ms >= 0 && desde < 0)
            desde = tempo + 500'000'000;
        if (desde >= 0 && tempo > desde && ultimo > desde)
            pior = qMax(pior, tempo - ultimo - 10'000'000);
        ultimo = tempo;
    });
    relogio.start();
    timer.start(10);
    QTimer::singleShot(argc > 2 ? QString(argv[2]).toInt() * 1000 : 3000, &app,
                       &QApplication::quit);
    app.exec();
    std::printf("| %s | %.0f ms | %.1f ms | process %.0f, QApplication %.0f, MainWindow %.0f, "
                "show %.0f ms |\n",
                argc > 1 ? argv[1] : "", expose.ms, pior / 1e6, (entrada - expose.inicio) / 1e6,
                (aplicacao - entrada) / 1e6, (janela - aplicacao) / 1e6, (mostrada - janela) / 1e6);
    return 0;
}
