#pragma once

// The report as a workbook (".xlsx"), written by libxlsxwriter in its
// constant-memory mode: each row goes to disk as soon as the next one begins.
//
// Sheet "Relatório" holds the text report's rows and cells at the same
// positions (row N, column K of the one are row N, column K of the other),
// typed: counts as numbers, durations as days in [h]:mm:ss, dates and times
// as such, texts as Unicode strings; titles and table headers bold. Sheet
// "Produtividade" takes the employees of the first summary (all varieties):
// items, hours, items per hour and each class's share, a row for the machine,
// and a stacked bar chart of the shares.
//
//   EscritorPastaDeTrabalho --owns--> lxw_workbook (until concluir closes it)
//                           --owns--> ArquivoSaida (the temporary file it fills)

#include "report/arquivosaida.h"
#include "report/escritor.h"

#include <memory>
#include <string>
#include <vector>

struct lxw_format;
struct lxw_workbook;
struct lxw_worksheet;

class EscritorPastaDeTrabalho final : public EscritorRelatorio
{
public:
    EscritorPastaDeTrabalho();
    ~EscritorPastaDeTrabalho() override;

    std::string extensao() const override { return ".xlsx"; }
    bool abrir(const std::string &caminho) override;
    void linha(const std::vector<Celula> &celulas, PapelDaLinha papel) override;
    bool semErros() const override { return !falhou && arquivo.semErros(); }
    bool concluir() override;
    void descartar() override;

private:
    // Frees a workbook that will never be written.
    struct Liberar
    {
        void operator()(lxw_workbook *livro) const;
    };

    // One sheet, its next row and the widest text of each column so far.
    struct Folha
    {
        lxw_worksheet *folha = nullptr;
        unsigned proxima = 0;
        std::vector<std::size_t> larguras;
    };

    void criarFormatos();
    void escrever(Folha &folha, unsigned coluna, const Celula &celula, bool negrito);
    void escreverNumero(Folha &folha, unsigned coluna, double valor, lxw_format *formato,
                        std::size_t largura);
    void escreverTexto(Folha &folha, unsigned coluna, const std::string &texto,
                       lxw_format *formato);
    void aplicarLarguras(const Folha &folha);
    // The first summary's rows as they pass, into "Produtividade".
    void acompanharProdutividade(const std::vector<Celula> &celulas, PapelDaLinha papel);
    void escreverFuncionario(const std::string &nome, long itens, long segundos,
                             const std::vector<long> &porClasse, bool negrito);
    void concluirProdutividade();
    void verificar(int erro);

    ArquivoSaida arquivo;
    std::unique_ptr<lxw_workbook, Liberar> livro;
    Folha relatorio;
    Folha produtividade;
    bool falhou = false;

    // Formats owned by the workbook: by cell type and boldness, and those of
    // "Produtividade".
    lxw_format *formatos[6][2] = {};
    lxw_format *decimal = nullptr;
    lxw_format *percentual = nullptr;

    // What "Produtividade" has seen of the first summary.
    int resumos = 0;
    long tempoMaquina = 0;
    long totalProduzido = 0;
    std::vector<std::string> classes;
    unsigned funcionarios = 0;
    bool produtividadeConcluida = false;
};
