#include "app/inicio.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    prepararInicio();
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(":/img/icone"));

    MainWindow window;
    window.show();
    return app.exec();
}
