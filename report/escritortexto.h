#pragma once

// The tab-separated text report (".xls"): one line per row, cells separated
// by tabs, CR LF line ends, texts in Windows-1252. Each line is flushed at
// once, and any write, flush or close error is remembered.

#include "report/escritor.h"

#include <cstdio>
#include <string>

class EscritorTexto final : public EscritorRelatorio
{
public:
    EscritorTexto() = default;
    ~EscritorTexto() override;

    EscritorTexto(const EscritorTexto &) = delete;
    EscritorTexto &operator=(const EscritorTexto &) = delete;

    std::string extensao() const override { return ".xls"; }
    // Creates or truncates the file (the path handed unchanged to the
    // narrow-character call).
    bool abrir(const std::string &caminho) override;
    void linha(const std::vector<Celula> &celulas, PapelDaLinha papel) override;
    bool fechar() override;
    bool semErros() const override { return !falhou; }

    // One cell as the text holds it; the total of a summary has a blank
    // before it.
    static std::string celulaNoTexto(const Celula &celula, PapelDaLinha papel);

private:
    void gravar(const std::string &bytes);

    std::FILE *arquivo = nullptr;
    bool falhou = false;
};

// A variety or employee name (UTF-8) as the file holds it: Windows-1252, a
// character outside it as "?", and tab, CR or LF as one blank so that a name
// can never shift a cell or split a row.
std::string nomeNoArquivo(const std::string &nome);
