#include "app/mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName("Quorbel");
    QCoreApplication::setApplicationName("RelatorioGerador");
    Q_INIT_RESOURCE(img);

    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(":/img/icone"));

    MainWindow window;
    window.show();
    return app.exec();
}
