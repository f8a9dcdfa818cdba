#include "app/inicio.h"
#include "app/mainwindow.h"
#include "app/traducao.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    prepararInicio();
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(":/img/icone"));
    // Ties the window to its menu entry and icon (packaging/).
    QGuiApplication::setDesktopFileName(QStringLiteral("br.com.quorbel.relatoriogerador"));
    if (!instalarTraducaoDoQt(app))
        qWarning("qtbase_pt_BR.qm não encontrado: os botões e diálogos do Qt ficam em inglês.");

    MainWindow window;
    window.show();
    return app.exec();
}
