#include "report/escritorpastadetrabalho.h"

#include "report/escritortexto.h"

#include <QDateTime>
#include <QDir>
#include <QString>

#ifdef _WIN32
#include <windows.h>
#endif

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace {

// A path libxlsxwriter can open. Built with MinGW it opens files through the
// narrow ANSI calls, which cannot name every path ("C:/Relatórios"); the
// short (8.3) form of an existing path is plain ASCII. Elsewhere the path as
// it is.
std::string caminhoParaABiblioteca(const QString &caminho)
{
#ifdef _WIN32
    const std::wstring longo = QDir::toNativeSeparators(caminho).toStdWString();
    std::wstring curto(GetShortPathNameW(longo.c_str(), nullptr, 0), L'\0');
    if (!curto.empty()
        && GetShortPathNameW(longo.c_str(), curto.data(), static_cast<DWORD>(curto.size())) > 0) {
        const QString texto = QString::fromWCharArray(curto.c_str());
        if (texto.toLatin1() == texto.toLocal8Bit())
            return texto.toLocal8Bit().toStdString();
    }
#endif
    return caminho.toStdString();
}

const char kRelatorio[] = "Relatório";
const char kProdutividade[] = "Produtividade";

// Columns of "Produtividade": the classes' shares follow the first four.
enum ColunaProdutividade : unsigned { kNome, kItens, kHoras, kItensPorHora, kPrimeiraClasse };

// Number formats by cell type, in the order of Celula::Tipo; none for texts
// and counts.
const char *const kFormatoNumerico[]
    = {nullptr, nullptr, "[h]:mm:ss", "dd/mm/yyyy", "hh:mm:ss", "hh:mm"};

// A text as a string cell holds it: valid UTF-8, a blank for each control
// character (as in the text report; some cannot be stored at all), and no
// more than the 32,767 characters a cell takes.
QString textoNaCelula(const std::string &texto)
{
    QString celula = QString::fromUtf8(texto.data(), static_cast<int>(texto.size()));
    for (QChar &c : celula) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
        else if (c.isNonCharacter())
            c = QChar::ReplacementCharacter;
    }
    celula.truncate(32767);
    return celula;
}

// Days since 30 December 1899, as spreadsheets count them.
double serialDoDia(const QDate &dia)
{
    return static_cast<double>(QDate(1899, 12, 30).daysTo(dia));
}

} // namespace

void EscritorPastaDeTrabalho::Liberar::operator()(lxw_workbook *livro) const
{
    // lxw_workbook_free() leaves the constant-memory mode's temporary file of
    // each sheet open; workbook_close() alone closes them.
    lxw_worksheet *folha = nullptr;
    LXW_FOREACH_WORKSHEET(folha, livro)
    {
        if (folha->optimize_tmpfile) {
            std::fclose(folha->optimize_tmpfile);
            folha->optimize_tmpfile = nullptr;
        }
    }
    lxw_workbook_free(livro);
}

EscritorPastaDeTrabalho::EscritorPastaDeTrabalho() = default;

EscritorPastaDeTrabalho::~EscritorPastaDeTrabalho()
{
    descartar();
}

bool EscritorPastaDeTrabalho::abrir(const std::string &caminho)
{
    if (!arquivo.criar(caminho))
        return false;
    // The library writes the whole file by name when the workbook is closed.
    arquivo.fechar();
    lxw_workbook_options opcoes = {};
    opcoes.constant_memory = LXW_TRUE;
    std::string pastaTemporaria;
#ifdef _WIN32
    // Each sheet's rows wait in a temporary file: by default in the drive's
    // root on Windows, where a standard user may not create files.
    pastaTemporaria = caminhoParaABiblioteca(QDir::tempPath());
    opcoes.tmpdir = pastaTemporaria.data();
#endif
    const std::string temporario
        = caminhoParaABiblioteca(QString::fromStdString(arquivo.caminhoTemporario()));
    livro.reset(workbook_new_opt(temporario.c_str(), &opcoes));
    if (livro) {
        relatorio.folha = workbook_add_worksheet(livro.get(), kRelatorio);
        produtividade.folha = workbook_add_worksheet(livro.get(), kProdutividade);
    }
    if (!livro || !relatorio.folha || !produtividade.folha) {
        descartar();
        return false;
    }
    // Printed as many pages long as needed, one page wide; the chart across.
    worksheet_fit_to_pages(relatorio.folha, 1, 0);
    worksheet_fit_to_pages(produtividade.folha, 1, 0);
    worksheet_set_landscape(produtividade.folha);
    criarFormatos();
    return !falhou;
}

void EscritorPastaDeTrabalho::criarFormatos()
{
    for (int tipo = 0; tipo < 6; ++tipo) {
        for (int negrito = 0; negrito < 2; ++negrito) {
            if (!kFormatoNumerico[tipo] && !negrito)
                continue;
            lxw_format *formato = workbook_add_format(livro.get());
            if (!formato)
                return verificar(LXW_ERROR_MEMORY_MALLOC_FAILED);
            if (kFormatoNumerico[tipo])
                format_set_num_format(formato, kFormatoNumerico[tipo]);
            if (negrito)
                format_set_bold(formato);
            formatos[tipo][negrito] = formato;
        }
    }
    decimal = workbook_add_format(livro.get());
    percentual = workbook_add_format(livro.get());
    if (!decimal || !percentual)
        return verificar(LXW_ERROR_MEMORY_MALLOC_FAILED);
    format_set_num_format(decimal, "0.00");
    format_set_num_format(percentual, "0.0%");
}

void EscritorPastaDeTrabalho::verificar(int erro)
{
    if (erro == LXW_NO_ERROR || falhou)
        return;
    falhou = true;
    std::cout << "Falha ao gravar a pasta de trabalho do relatorio: "
              << lxw_strerror(static_cast<lxw_error>(erro)) << std::endl;
}

void EscritorPastaDeTrabalho::escreverTexto(Folha &folha, unsigned coluna, const std::string &texto,
                                            lxw_format *formato)
{
    const QString celula = textoNaCelula(texto);
    if (celula.isEmpty())
        return;
    verificar(worksheet_write_string(folha.folha, folha.proxima, static_cast<lxw_col_t>(coluna),
                                     celula.toUtf8().constData(), formato));
    folha.larguras.resize(std::max<std::size_t>(folha.larguras.size(), coluna + 1));
    folha.larguras[coluna] = std::max<std::size_t>(folha.larguras[coluna], celula.size());
}

void EscritorPastaDeTrabalho::escreverNumero(Folha &folha, unsigned coluna, double valor,
                                             lxw_format *formato, std::size_t largura)
{
    verificar(worksheet_write_number(folha.folha, folha.proxima, static_cast<lxw_col_t>(coluna),
                                     valor, formato));
    folha.larguras.resize(std::max<std::size_t>(folha.larguras.size(), coluna + 1));
    folha.larguras[coluna] = std::max(folha.larguras[coluna], largura);
}

void EscritorPastaDeTrabalho::escrever(Folha &folha, unsigned coluna, const Celula &celula,
                                       bool negrito)
{
    lxw_format *const formato = formatos[static_cast<int>(celula.tipo)][negrito ? 1 : 0];
    const QDateTime local = celula.instante.toLocalTime();
    double valor = 0;
    switch (celula.tipo) {
    case Celula::Tipo::Texto:
        return escreverTexto(folha, coluna, celula.textoUtf8, formato);
    case Celula::Tipo::Inteiro:
        valor = static_cast<double>(celula.numero);
        break;
    case Celula::Tipo::Duracao:
        valor = static_cast<double>(celula.numero) / 86400;
        break;
    case Celula::Tipo::Data:
        valor = serialDoDia(local.date());
        break;
    case Celula::Tipo::Hora:
    case Celula::Tipo::HoraMinuto:
        valor = local.time().msecsSinceStartOfDay() / 86400000.0;
        break;
    }
    // As wide as the text report shows it.
    escreverNumero(folha, coluna, valor, formato,
                   EscritorTexto::celulaNoTexto(celula, PapelDaLinha::Comum).size());
}

void EscritorPastaDeTrabalho::linha(const std::vector<Celula> &celulas, PapelDaLinha papel)
{
    if (!livro) {
        falhou = true;
        return;
    }
    if (falhou)
        return;
    const bool negrito = papel == PapelDaLinha::Titulo || papel == PapelDaLinha::Cabecalho;
    for (std::size_t coluna = 0; coluna < celulas.size(); ++coluna)
        escrever(relatorio, static_cast<unsigned>(coluna), celulas[coluna], negrito);
    ++relatorio.proxima;
    acompanharProdutividade(celulas, papel);
}

// The first summary (all varieties) runs from the first machine time to the
// second: its total, its table's class labels and its employees' rows.
void EscritorPastaDeTrabalho::acompanharProdutividade(const std::vector<Celula> &celulas,
                                                      PapelDaLinha papel)
{
    if (papel == PapelDaLinha::TempoMaquina && ++resumos == 2)
        concluirProdutividade();
    const std::size_t n = celulas.size();
    if (resumos != 1 || n < 2)
        return;
    // A table row: a name, one figure per class, the total and the hours.
    std::vector<long> porClasse;
    for (std::size_t i = 1; i + 2 < n; ++i)
        porClasse.push_back(celulas[i].numero);
    switch (papel) {
    case PapelDaLinha::TempoMaquina:
        tempoMaquina = celulas[1].numero;
        break;
    case PapelDaLinha::TotalProduzido:
        totalProduzido = celulas[1].numero;
        break;
    case PapelDaLinha::Cabecalho: {
        lxw_format *const negrito = formatos[static_cast<int>(Celula::Tipo::Texto)][1];
        const char *const titulos[] = {"Funcionário", "Itens", "Horas", "Itens por hora"};
        for (unsigned coluna = kNome; coluna < kPrimeiraClasse; ++coluna)
            escreverTexto(produtividade, coluna, titulos[coluna], negrito);
        for (std::size_t i = 1; i + 2 < n; ++i) {
            classes.push_back(celulas[i].textoUtf8);
            escreverTexto(produtividade, kPrimeiraClasse + static_cast<unsigned>(i - 1),
                          celulas[i].textoUtf8, negrito);
        }
        ++produtividade.proxima;
        break;
    }
    case PapelDaLinha::Funcionario:
        if (n >= 3) {
            escreverFuncionario(celulas[0].textoUtf8, celulas[n - 2].numero, celulas[n - 1].numero,
                                porClasse, false);
            ++funcionarios;
        }
        break;
    default:
        break;
    }
}

// Items per hour with two decimals, empty without hours; each class's share
// of the items, empty without items.
void EscritorPastaDeTrabalho::escreverFuncionario(const std::string &nome, long itens,
                                                  long segundos, const std::vector<long> &porClasse,
                                                  bool negrito)
{
    Folha &folha = produtividade;
    escreverTexto(folha, kNome, nome, formatos[static_cast<int>(Celula::Tipo::Texto)][negrito]);
    escrever(folha, kItens, Celula::inteiro(itens), false);
    escrever(folha, kHoras, Celula::duracao(segundos), false);
    if (segundos > 0) {
        const double porHora = std::round(itens * 3600.0 / segundos * 100) / 100;
        escreverNumero(folha, kItensPorHora, porHora, decimal,
                       QString::number(porHora, 'f', 2).size());
    }
    for (std::size_t k = 0; itens != 0 && k < porClasse.size(); ++k)
        escreverNumero(folha, kPrimeiraClasse + static_cast<unsigned>(k),
                       static_cast<double>(porClasse[k]) / itens, percentual, 6);
    ++folha.proxima;
}

// The machine's row, then the chart: one bar per employee, one series per
// class, each the class's share of the employee's items.
void EscritorPastaDeTrabalho::concluirProdutividade()
{
    if (produtividadeConcluida || falhou)
        return;
    produtividadeConcluida = true;
    escreverFuncionario("Máquina (total)", totalProduzido, tempoMaquina, {}, true);
    if (funcionarios == 0 || classes.empty())
        return;
    lxw_chart *grafico = workbook_add_chart(livro.get(), LXW_CHART_BAR_STACKED);
    if (!grafico)
        return verificar(LXW_ERROR_MEMORY_MALLOC_FAILED);
    for (unsigned k = 0; k < classes.size(); ++k) {
        lxw_chart_series *serie = chart_add_series(grafico, nullptr, nullptr);
        if (!serie)
            return verificar(LXW_ERROR_MEMORY_MALLOC_FAILED);
        chart_series_set_categories(serie, kProdutividade, 1, kNome, funcionarios, kNome);
        chart_series_set_values(serie, kProdutividade, 1, kPrimeiraClasse + k, funcionarios,
                                kPrimeiraClasse + k);
        chart_series_set_name_range(serie, kProdutividade, 0, kPrimeiraClasse + k);
    }
    chart_title_set_name(grafico, "Itens de cada classe por funcionário");
    // A bar chart's x axis is its horizontal one, the shares; the first
    // employee goes on top, as in the table.
    chart_axis_set_num_format(grafico->x_axis, "0%");
    chart_axis_set_max(grafico->x_axis, 1);
    chart_axis_set_reverse(grafico->y_axis);
    chart_legend_set_position(grafico, LXW_CHART_LEGEND_BOTTOM);
    lxw_chart_options opcoes = {};
    opcoes.x_scale = 1.5;
    // About 20 pixels a bar, no less than the default 288 in all.
    opcoes.y_scale = std::max(1.0, (funcionarios * 20 + 120) / 288.0);
    verificar(worksheet_insert_chart_opt(produtividade.folha, produtividade.proxima + 1, kNome,
                                         grafico, &opcoes));
}

void EscritorPastaDeTrabalho::aplicarLarguras(const Folha &folha)
{
    for (std::size_t coluna = 0; coluna < folha.larguras.size(); ++coluna) {
        if (folha.larguras[coluna] > 0)
            verificar(worksheet_set_column(
                folha.folha, static_cast<lxw_col_t>(coluna), static_cast<lxw_col_t>(coluna),
                std::min<double>(255, folha.larguras[coluna] + 2), nullptr));
    }
}

bool EscritorPastaDeTrabalho::concluir()
{
    if (!livro)
        return false;
    concluirProdutividade();
    aplicarLarguras(relatorio);
    aplicarLarguras(produtividade);
    if (!semErros()) {
        descartar();
        return false;
    }
    // Closing writes the whole file into the temporary name and frees the
    // workbook, whatever the outcome.
    verificar(workbook_close(livro.release()));
    if (falhou) {
        arquivo.descartar();
        return false;
    }
    return arquivo.confirmar();
}

void EscritorPastaDeTrabalho::descartar()
{
    livro.reset();
    relatorio = Folha();
    produtividade = Folha();
    arquivo.descartar();
}
