#include "config/configuracoes.h"

#include <QDir>
#include <QSettings>

QString enderecoBancoPadrao()
{
    return QStringLiteral("127.0.0.1");
}

QString portaBancoPadrao()
{
    return QStringLiteral("5432");
}

QString diretorioRelatorioPadrao()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:/");
#else
    // No drive letters here: the user's home directory stands in for C:/.
    return QDir::homePath();
#endif
}

QString senhaConfigPadrao()
{
    return QStringLiteral("PLOVEN");
}

QString enderecoBanco = enderecoBancoPadrao();
QString portaBanco = portaBancoPadrao();
QString diretorioRelatorio = diretorioRelatorioPadrao();
QString senhaConfig = senhaConfigPadrao();

void carregarConfiguracoes()
{
    const QSettings settings;
    diretorioRelatorio = settings.value("DIRETORIO", diretorioRelatorioPadrao()).toString();
    enderecoBanco = settings.value("BD_ADDR", enderecoBancoPadrao()).toString();
    portaBanco = settings.value("5432", portaBancoPadrao()).toString();
    senhaConfig = settings.value("SENHA", senhaConfigPadrao()).toString();
}

void salvarConfiguracoes()
{
    QSettings settings;
    settings.setValue("DIRETORIO", diretorioRelatorio);
    settings.setValue("BD_ADDR", enderecoBanco);
    settings.setValue("5432", portaBanco);
    settings.setValue("SENHA", senhaConfig);
    settings.sync();
}

void definirConfiguracoes(const QString &endereco, const QString &porta, const QString &diretorio)
{
    enderecoBanco = endereco;
    portaBanco = porta;
    diretorioRelatorio = diretorio;
}
