#pragma once

// What the report job writes: rows of typed cells, each row with the part it
// plays in the report, handed to one writer per file format. The job builds
// rows; only a writer knows how a format spells a cell.
//
//   Relatorio --owns, for one run--> EscritorRelatorio <|-- EscritorTexto

#include <QDateTime>

#include <string>
#include <vector>

struct Celula
{
    enum class Tipo {
        Texto,      // UTF-8
        Inteiro,    // a count
        Duracao,    // seconds, shown as hours:minutes:seconds
        Data,       // the local date of `instante`
        Hora,       // its local time with seconds
        HoraMinuto, // its local time, hours and minutes
    };

    static Celula texto(std::string valor);
    static Celula inteiro(long valor);
    static Celula duracao(long segundos);
    static Celula data(const QDateTime &instante);
    static Celula hora(const QDateTime &instante);
    static Celula horaMinuto(const QDateTime &instante);

    Tipo tipo = Tipo::Texto;
    std::string textoUtf8;
    long numero = 0;
    QDateTime instante;
};

// The part a row plays, for formats that show it (a bold title, a typed
// total). The rows and their cells are the same in every format.
enum class PapelDaLinha {
    Comum,
    Titulo,         // "TODAS VARIEDADES", a variety's name, a session's bounds
    Cabecalho,      // the header row of a table
    TempoMaquina,   // the machine's accumulated time of a summary
    TotalProduzido, // the items of every class of a summary
    Funcionario,    // one employee's row in a summary's table
};

class EscritorRelatorio
{
public:
    virtual ~EscritorRelatorio() = default;

    // The file name's extension, with its dot.
    virtual std::string extensao() const = 0;
    // Starts the file that will be published at `caminho` (UTF-8); false
    // when it cannot be created. Nothing appears under `caminho` until
    // concluir().
    virtual bool abrir(const std::string &caminho) = 0;
    virtual void linha(const std::vector<Celula> &celulas, PapelDaLinha papel) = 0;
    void linha(const std::vector<Celula> &celulas) { linha(celulas, PapelDaLinha::Comum); }
    // No write has failed so far.
    virtual bool semErros() const = 0;
    // Finishes the file and puts it under its name, replacing what was
    // there; false, with nothing changed, when this or any earlier write
    // failed.
    virtual bool concluir() = 0;
    // Drops the unfinished file; what the name held before stays. A writer
    // destroyed before concluir() does this.
    virtual void descartar() = 0;
};
