#include "report/arquivorelatorio.h"

#include <QString>
#include <QTextCodec>

ArquivoRelatorio::~ArquivoRelatorio()
{
    fechar();
}

bool ArquivoRelatorio::abrir(const std::string &caminho)
{
    fechar();
    falhou = false;
    // Binary mode: the CR LF line ends are written explicitly, so the bytes
    // are the same on every platform.
    arquivo = std::fopen(caminho.c_str(), "wb");
    return arquivo != nullptr;
}

void ArquivoRelatorio::linha(const std::string &bytes)
{
    if (!arquivo) {
        falhou = true;
        return;
    }
    const std::string texto = bytes + "\r\n";
    if (std::fwrite(texto.data(), 1, texto.size(), arquivo) != texto.size())
        falhou = true;
    if (std::fflush(arquivo) != 0)
        falhou = true;
}

bool ArquivoRelatorio::fechar()
{
    if (arquivo) {
        if (std::fflush(arquivo) != 0 || std::ferror(arquivo))
            falhou = true;
        if (std::fclose(arquivo) != 0)
            falhou = true;
        arquivo = nullptr;
    }
    return !falhou;
}

std::string nomeNoArquivo(const std::string &nome)
{
    QString texto = QString::fromUtf8(nome.data(), static_cast<int>(nome.size()));
    for (QChar &c : texto) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    static QTextCodec *const codec = QTextCodec::codecForName("Windows-1252");
    if (!codec)
        return texto.toLatin1().toStdString();
    // Characters the codec cannot hold come out as NUL (a name never holds
    // one: PostgreSQL text cannot), whatever its own substitute would be.
    QTextCodec::ConverterState estado(QTextCodec::ConvertInvalidToNull);
    QByteArray bytes = codec->fromUnicode(texto.constData(), texto.size(), &estado);
    bytes.replace('\0', '?');
    return bytes.toStdString();
}
