#include "config/maquina.h"

#include "db/databaseconnection.h"

#include <QCoreApplication>

std::unique_ptr<DatabaseConnection> conexaoComAMaquina(const std::string &endereco,
                                                       const std::string &porta)
{
    return std::make_unique<DatabaseConnection>("quorbel", "tarnek", "BDQuorbel", endereco, porta);
}

void definirIdentidadeDoPrograma()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quorbel"));
    QCoreApplication::setApplicationName(QStringLiteral("RelatorioGerador"));
}
