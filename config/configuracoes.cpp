#include "config/configuracoes.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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
    // The drive's root, where a standard user cannot create files, stands in
    // for the user's own place: the Documents folder.
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#else
    // No drive letters here: the user's home directory stands in for C:/.
    return QDir::homePath();
#endif
}

QString senhaConfigPadrao()
{
    return QStringLiteral("PLOVEN");
}

// The text report, as before the key existed.
QString formatoRelatorioPadrao()
{
    return QStringLiteral("xls");
}

QString enderecoBanco = enderecoBancoPadrao();
QString portaBanco = portaBancoPadrao();
QString diretorioRelatorio = diretorioRelatorioPadrao();
QString senhaConfig = senhaConfigPadrao();
QString formatoRelatorio = formatoRelatorioPadrao();

namespace {

// The store can be read: QSettings saw no error, and where there is no file
// yet, nothing but a folder stands in its way (QSettings reports a regular
// file in place of its folder as an empty store).
bool legivel(const QSettings &settings)
{
    if (settings.status() != QSettings::NoError)
        return false;
#ifdef Q_OS_WIN
    // The registry: nothing but QSettings' own status to go by.
    return true;
#else
    QFileInfo caminho(settings.fileName());
    if (caminho.exists())
        return caminho.isFile();
    while (!caminho.exists() && !caminho.isRoot())
        caminho = QFileInfo(caminho.absolutePath());
    return caminho.isDir();
#endif
}

} // namespace

bool carregarConfiguracoes()
{
    const QSettings settings;
    const bool lida = legivel(settings);
    // A store that cannot be read is not half used: the defaults stand.
    const auto valor = [&](const char *chave, const QString &padrao) {
        return lida ? settings.value(chave, padrao).toString() : padrao;
    };
    diretorioRelatorio = valor("DIRETORIO", diretorioRelatorioPadrao());
    enderecoBanco = valor("BD_ADDR", enderecoBancoPadrao());
    portaBanco = valor("5432", portaBancoPadrao());
    senhaConfig = valor("SENHA", senhaConfigPadrao());
    formatoRelatorio = valor("FORMATO", formatoRelatorioPadrao());
    return lida;
}

QString arquivoDeConfiguracoes()
{
    return QSettings().fileName();
}

bool salvarConfiguracoes()
{
    QSettings settings;
    settings.setValue("DIRETORIO", diretorioRelatorio);
    settings.setValue("BD_ADDR", enderecoBanco);
    settings.setValue("5432", portaBanco);
    settings.setValue("SENHA", senhaConfig);
    settings.setValue("FORMATO", formatoRelatorio);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void definirConfiguracoes(const QString &endereco, const QString &porta, const QString &diretorio)
{
    enderecoBanco = endereco;
    portaBanco = porta;
    diretorioRelatorio = diretorio;
}
