#include "report/escritortexto.h"

#include "db/queryresult.h"

#include <QString>
#include <QTextCodec>

bool EscritorTexto::abrir(const std::string &caminho)
{
    return arquivo.criar(caminho);
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
    arquivo.gravar(bytes + "\r\n");
}

std::string nomeNoArquivo(const std::string &nome)
{
    // One character each: a character outside the Basic Multilingual Plane
    // is two UTF-16 units, which some codecs would turn into two "?".
    QString texto;
    for (const uint c : QString::fromUtf8(nome.data(), static_cast<int>(nome.size())).toUcs4()) {
        if ((c >= 0x80 && c <= 0x9F) || c > 0xFFFF)
            texto += QLatin1Char('?');
        else if (c < 0x20 || c == 0x7F)
            texto += QLatin1Char(' ');
        else
            texto += QChar(static_cast<ushort>(c));
    }
    if (!texto.isEmpty() && QStringLiteral("=+-@\"").contains(texto.front()))
        texto.prepend(QLatin1Char('\''));
    static QTextCodec *const codec = QTextCodec::codecForName("Windows-1252");
    if (!codec)
        return texto.toLatin1().toStdString();
    // Characters the codec cannot hold come out as NUL (none is left in the
    // text), whatever its own substitute would be.
    QTextCodec::ConverterState estado(QTextCodec::ConvertInvalidToNull);
    QByteArray bytes = codec->fromUnicode(texto.constData(), texto.size(), &estado);
    bytes.replace('\0', '?');
    return bytes.toStdString();
}
