#include "report/escritortexto.h"

#include "db/queryresult.h"

#include <QString>
#include <QTextCodec>

EscritorTexto::~EscritorTexto()
{
    fechar();
}

bool EscritorTexto::abrir(const std::string &caminho)
{
    fechar();
    falhou = false;
    // Binary mode: the CR LF line ends are written explicitly, so the bytes
    // are the same on every platform.
    arquivo = std::fopen(caminho.c_str(), "wb");
    return arquivo != nullptr;
}

std::string EscritorTexto::celulaNoTexto(const Celula &celula, PapelDaLinha papel)
{
    const auto local = [&](const char *formato) {
        return celula.instante.toLocalTime().toString(QString::fromLatin1(formato)).toStdString();
    };
    switch (celula.tipo) {
    case Celula::Tipo::Texto:
        return nomeNoArquivo(celula.textoUtf8);
    case Celula::Tipo::Inteiro:
        return (papel == PapelDaLinha::TotalProduzido ? " " : "") + longToString(celula.numero);
    case Celula::Tipo::Duracao:
        return formatDuration(celula.numero);
    case Celula::Tipo::Data:
        return local("dd/MM/yyyy");
    case Celula::Tipo::Hora:
        return local("hh:mm:ss");
    case Celula::Tipo::HoraMinuto:
        return local("hh:mm");
    }
    return std::string();
}

void EscritorTexto::linha(const std::vector<Celula> &celulas, PapelDaLinha papel)
{
    std::string bytes;
    for (std::size_t i = 0; i < celulas.size(); ++i)
        bytes += (i > 0 ? "\t" : "") + celulaNoTexto(celulas[i], papel);
    gravar(bytes + "\r\n");
}

void EscritorTexto::gravar(const std::string &bytes)
{
    if (!arquivo) {
        falhou = true;
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), arquivo) != bytes.size())
        falhou = true;
    if (std::fflush(arquivo) != 0)
        falhou = true;
}

bool EscritorTexto::fechar()
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
