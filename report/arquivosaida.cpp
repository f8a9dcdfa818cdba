#include "report/arquivosaida.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cerrno>

namespace {

#ifdef _WIN32
std::wstring largo(const std::string &utf8)
{
    return QString::fromStdString(utf8).toStdWString();
}

int abrirExclusivo(const std::string &caminho)
{
    int descritor = -1;
    _wsopen_s(&descritor, largo(caminho).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
              _SH_DENYNO, _S_IREAD | _S_IWRITE);
    return descritor;
}

int abrirLeitura(const std::string &caminho)
{
    int descritor = -1;
    _wsopen_s(&descritor, largo(caminho).c_str(), _O_RDWR | _O_BINARY, _SH_DENYNO, 0);
    return descritor;
}

long escrever(int descritor, const char *bytes, std::size_t tamanho)
{
    return _write(descritor, bytes, static_cast<unsigned>(tamanho));
}

bool sincronizar(int descritor)
{
    return _commit(descritor) == 0;
}

int fecharDescritor(int descritor)
{
    return _close(descritor);
}

bool substituir(const std::string &de, const std::string &para)
{
    return MoveFileExW(largo(de).c_str(), largo(para).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
           != 0;
}

void remover(const std::string &caminho)
{
    _wremove(largo(caminho).c_str());
}
#else
int abrirExclusivo(const std::string &caminho)
{
    return ::open(caminho.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

int abrirLeitura(const std::string &caminho)
{
    return ::open(caminho.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
}

long escrever(int descritor, const char *bytes, std::size_t tamanho)
{
    long escrito;
    do
        escrito = ::write(descritor, bytes, tamanho);
    while (escrito < 0 && errno == EINTR);
    return escrito;
}

bool sincronizar(int descritor)
{
    return ::fsync(descritor) == 0;
}

int fecharDescritor(int descritor)
{
    return ::close(descritor);
}

// rename(2) replaces the directory entry itself: a link at the final name is
// replaced, not followed.
bool substituir(const std::string &de, const std::string &para)
{
    return std::rename(de.c_str(), para.c_str()) == 0;
}

void remover(const std::string &caminho)
{
    ::unlink(caminho.c_str());
}
#endif

} // namespace

ArquivoSaida::~ArquivoSaida()
{
    descartar();
}

bool ArquivoSaida::criar(const std::string &caminhoFinal)
{
    descartar();
    final = caminhoFinal;
    falhou = false;
    // A NUL would cut the path short: such a directory is unusable.
    if (caminhoFinal.find('\0') != std::string::npos)
        return false;
    const std::string::size_type barra = caminhoFinal.find_last_of('/');
    const std::string pasta = barra == std::string::npos ? "" : caminhoFinal.substr(0, barra + 1);
    const std::string nome = caminhoFinal.substr(pasta.size());
    for (int tentativa = 0; tentativa < 100; ++tentativa) {
        const std::string candidato
            = pasta + "." + nome + "."
              + QByteArray::number(QRandomGenerator::global()->generate(), 36).toStdString()
              + ".parcial";
        descritor = abrirExclusivo(candidato);
        if (descritor >= 0) {
            temporario = candidato;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    return false;
}

bool ArquivoSaida::gravar(const std::string &bytes)
{
    std::size_t feito = 0;
    while (!falhou && feito < bytes.size()) {
        const long escrito
            = descritor < 0 ? -1 : escrever(descritor, bytes.data() + feito, bytes.size() - feito);
        if (escrito <= 0)
            falhou = true;
        else
            feito += static_cast<std::size_t>(escrito);
    }
    return !falhou;
}

void ArquivoSaida::fechar()
{
    if (descritor >= 0) {
        if (!sincronizar(descritor))
            falhou = true;
        if (fecharDescritor(descritor) != 0)
            falhou = true;
        descritor = -1;
    }
}

bool ArquivoSaida::confirmar()
{
    if (temporario.empty())
        return false;
    if (descritor >= 0) {
        fechar();
    } else {
        // Written by name by another library: sync what it left.
        const int leitura = abrirLeitura(temporario);
        if (leitura < 0 || !sincronizar(leitura))
            falhou = true;
        if (leitura >= 0)
            fecharDescritor(leitura);
    }
    if (falhou || !substituir(temporario, final)) {
        descartar();
        return false;
    }
    temporario.clear();
    return true;
}

void ArquivoSaida::descartar()
{
    if (descritor >= 0) {
        fecharDescritor(descritor);
        descritor = -1;
    }
    if (!temporario.empty()) {
        remover(temporario);
        temporario.clear();
    }
}
