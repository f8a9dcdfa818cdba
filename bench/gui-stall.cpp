// Longest stall of the GUI thread while a report runs: a 10 ms timer on the
// GUI thread records how late each tick arrives, offscreen, with the report
// job running on its own thread as the program runs it.
//   usage: gui-stall NAME "YYYY-MM-DD HH:MM[:SS]" "YYYY-MM-DD HH:MM[:SS]" SEPARAR(0|1) DIR
// The database address and port come from the settings store.

#include "app/configuracoes.h"
#include "db/databaseconnection.h"
#include "report/relatorio.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName("Quorbel");
    QCoreApplication::setApplicationName("RelatorioGerador");
    QApplication app(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: gui-stall NAME INICIO FIM SEPARAR DIR\n");
        return 2;
    }
    carregarConfiguracoes();
    const auto parse = [](const char *text) {
        QDateTime t = QDateTime::fromString(QString::fromLocal8Bit(text), "yyyy-MM-dd HH:mm:ss");
        if (!t.isValid())
            t = QDateTime::fromString(QString::fromLocal8Bit(text), "yyyy-MM-dd HH:mm");
        return t;
    };
    DatabaseConnection conexao("quorbel", "tarnek", "BDQuorbel", enderecoBanco.toStdString(),
                               portaBanco.toStdString());
    if (!conexao.connect()) {
        std::fprintf(stderr, "gui-stall: no connection\n");
        return 1;
    }

    QWidget window; // something for the GUI thread to paint
    window.resize(800, 600);
    window.show();

    Relatorio job;
    job.configurar(&conexao, parse(argv[2]), parse(argv[3]), 5, argv[5], argv[4][0] == '1');

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    long ticks = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = qMax(worst, now - last - 10'000'000);
        last = now;
        ++ticks;
        window.update();
    });
    bool sucesso = false;
    QObject::connect(&job, &Relatorio::relatorioGerado, &app, [&](bool ok) {
        sucesso = ok;
        app.quit();
    });
    clock.start();
    timer.start(10);
    job.start();
    app.exec();
    job.wait();
    std::printf("| %s | GUI thread: longest stall %.1f ms over %ld ticks of 10 ms in %.2f s (%s) |\n",
                argv[1], worst / 1e6, ticks, clock.elapsed() / 1000.0,
                sucesso ? "report written" : "report FAILED");
    return sucesso ? 0 : 1;
}
