// Renders the main window, the options dialog and the about dialog into PNG
// files, for the README. scripts/screenshots.sh runs it offscreen against a
// throwaway database so that the window shows a live connection.
//   usage: screenshots DIRECTORY

#include "app/mainwindow.h"
#include "app/opcoesdialog.h"
#include "config/maquina.h"
#include "screen/telarelatorio.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QIcon>
#include <QSettings>
#include <QTimer>

#include <iostream>

namespace {

bool salvar(QWidget *widget, const QString &arquivo)
{
    QApplication::processEvents();
    if (widget->grab().save(arquivo))
        return true;
    std::cerr << "screenshots: could not write " << arquivo.toStdString() << std::endl;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    definirIdentidadeDoPrograma();
    Q_INIT_RESOURCE(img);
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(":/img/icone"));

    const QString destino = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "docs/screenshots";
    if (!QDir().mkpath(destino)) {
        std::cerr << "screenshots: cannot create " << destino.toStdString() << std::endl;
        return 1;
    }

    // The database the caller started, if any, as the stored machine address.
    const QByteArray endereco = qgetenv("QUORBEL_TEST_HOSTADDR");
    const QByteArray porta = qgetenv("QUORBEL_TEST_PORT");
    if (!endereco.isEmpty() && !porta.isEmpty()) {
        QSettings configuracoes;
        configuracoes.setValue("BD_ADDR", QString::fromLatin1(endereco));
        configuracoes.setValue("5432", QString::fromLatin1(porta));
        configuracoes.setValue("DIRETORIO", "/srv/relatorios");
    }

    MainWindow janela;
    janela.show();
    // A second attempt, now that the status bar listens; its outcome shown.
    QEventLoop espera;
    QObject::connect(janela.findChild<TelaRelatorio *>(), &TelaRelatorio::conexaoMudou, &espera,
                     &QEventLoop::quit);
    QTimer::singleShot(15000, &espera, &QEventLoop::quit);
    janela.findChild<QAction *>("actionConectar")->trigger();
    espera.exec();
    bool ok = salvar(&janela, destino + "/janela-principal.png");

    OpcoesDialog opcoes(&janela);
    opcoes.show();
    ok = salvar(&opcoes, destino + "/opcoes.png") && ok;
    opcoes.hide();

    janela.findChild<QAction *>("actionSobre")->trigger();
    QDialog *sobre = janela.findChild<QDialog *>("AboutDialog");
    ok = sobre && salvar(sobre, destino + "/sobre.png") && ok;
    return ok ? 0 : 1;
}
