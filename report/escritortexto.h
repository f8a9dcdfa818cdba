#pragma once

// The tab-separated text report (".xls"): one line per row, cells separated
// by tabs, CR LF line ends, texts in Windows-1252.

#include "report/arquivosaida.h"
#include "report/escritor.h"

#include <string>

class EscritorTexto final : public EscritorRelatorio
{
public:
    std::string extensao() const override { return ".xls"; }
    bool abrir(const std::string &caminho) override;
    void linha(const std::vector<Celula> &celulas, PapelDaLinha papel) override;
    bool semErros() const override { return arquivo.semErros(); }
    bool concluir() override { return arquivo.confirmar(); }
    void descartar() override { arquivo.descartar(); }

    // One cell as the text holds it; the total of a summary has a blank
    // before it.
    static std::string celulaNoTexto(const Celula &celula, PapelDaLinha papel);

private:
    ArquivoSaida arquivo;
};

// A text (UTF-8) as the file holds it, so that it can neither shift a cell,
// split a row, nor be taken for anything but text: Windows-1252, with "?" for
// a character outside it (the C1 controls U+0080 to U+009F among them) and
// one blank for any other control character; and, when it begins with one of
// = + - @ " (a formula, or a quoted field, to a spreadsheet), an apostrophe
// before it, which spreadsheets read as "this cell is text".
std::string nomeNoArquivo(const std::string &nome);
