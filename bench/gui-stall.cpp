// Longest stall of the GUI thread while a report runs: the real main window,
// offscreen, asked for a report through its button once connected, as a
// person would; a
// 10 ms timer on the GUI thread records how late each tick arrives until the
// outcome box appears.
//   usage: gui-stall NAME "YYYY-MM-DD HH:MM" "YYYY-MM-DD HH:MM" SEPARAR(0|1) DIR
// The database address and port come from the settings store; DIR replaces
// the report directory for this run only.

#include "app/mainwindow.h"
#include "config/configuracoes.h"
#include "config/maquina.h"
#include "screen/telarelatorio.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    definirIdentidadeDoPrograma();
    QApplication app(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: gui-stall NAME INICIO FIM SEPARAR DIR\n");
        return 2;
    }
    const auto parse = [](const char *text) {
        return QDateTime::fromString(QString::fromLocal8Bit(text).left(16), "yyyy-MM-dd HH:mm");
    };
    const QDateTime inicio = parse(argv[2]);
    const QDateTime fim = parse(argv[3]);

    MainWindow window; // connects at construction, with the stored address and port
    definirConfiguracoes(enderecoBanco, portaBanco, QString::fromLocal8Bit(argv[5]));
    window.show();
    window.findChild<QCalendarWidget *>("calendarDataInicio")->setSelectedDate(inicio.date());
    window.findChild<QTimeEdit *>("timeDataInicio")->setTime(inicio.time());
    window.findChild<QCalendarWidget *>("calendarDataFinal")->setSelectedDate(fim.date());
    window.findChild<QTimeEdit *>("timeDataFinal")->setTime(fim.time().addSecs(59));
    window.findChild<QCheckBox *>("separarSessoes")->setChecked(argv[4][0] == '1');

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    long ticks = 0;
    QString outcome;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = qMax(worst, now - last - 10'000'000);
        last = now;
        ++ticks;
        // The outcome box ends the run.
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            outcome = box->text();
            box->accept();
            app.quit();
        }
    });
    clock.start();
    timer.start(10);
    // The button once the connection attempt begun at start has succeeded.
    auto *tela = window.findChild<TelaRelatorio *>();
    QObject::connect(tela, &TelaRelatorio::conexaoMudou, [&](bool conectado) {
        if (conectado)
            window.findChild<QPushButton *>("botaoGeraRelatorio")->click();
        else
            app.exit(1);
    });
    app.exec();
    std::printf(
        "| %s | GUI thread: longest stall %.1f ms over %ld ticks of 10 ms in %.2f s (%s) |\n",
        argv[1], worst / 1e6, ticks, clock.elapsed() / 1000.0, qPrintable(outcome));
    return outcome.contains("sucesso") ? 0 : 1;
}
