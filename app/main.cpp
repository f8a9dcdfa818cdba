#include "app/mainwindow.h"
#include "config/maquina.h"
#include "db/databaseconnection.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    // An unreachable machine would otherwise hold the window for minutes.
    definirTempoLimiteConexaoPadrao();
    definirIdentidadeDoPrograma();
    Q_INIT_RESOURCE(img);

    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(":/img/icone"));

    MainWindow window;
    window.show();
    return app.exec();
}
