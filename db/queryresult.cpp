#include "db/queryresult.h"

#include <QString>

#include <libpq-fe.h>

#include <iostream>
#include <sstream>

void ResultDeleter::operator()(PGresult *result) const
{
    PQclear(result);
}

namespace {

const char *const kMissingCell = "Não foi possivel recuperar resultado do banco de dados.";

// The cell's text, or nullptr when the cell lies outside the result (a null
// result has no cells).
const char *cell(const PGresult *result, int row, int col)
{
    if (row < PQntuples(result) && col < PQnfields(result))
        return PQgetvalue(result, row, col);
    return nullptr;
}

template <typename T>
T extract(const std::string &text)
{
    std::istringstream in(text);
    T value = 0;
    if (!(in >> value))
        return 0;
    return value;
}

template <typename T>
std::string insert(T value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

} // namespace

bool getBool(const PGresult *result, int row, int col)
{
    if (const char *text = cell(result, row, col))
        return stringToBool(text);
    std::cout << kMissingCell << "bool:" << row << "," << col << std::endl;
    return false;
}

int getInt(const PGresult *result, int row, int col)
{
    if (const char *text = cell(result, row, col))
        return stringToInt(text);
    std::cout << kMissingCell << " (row: " << row << ", col:" << col << ")" << std::endl;
    return -1;
}

long getLong(const PGresult *result, int row, int col)
{
    if (const char *text = cell(result, row, col))
        return stringToLong(text);
    std::cout << kMissingCell << "long:" << row << "," << col << std::endl;
    return -1;
}

std::string getString(const PGresult *result, int row, int col)
{
    if (const char *text = cell(result, row, col))
        return QString::fromUtf8(text).toStdString();
    std::cout << kMissingCell << "string:" << row << "," << col << std::endl;
    return std::string();
}

bool isNull(const PGresult *result, int row, int col)
{
    return cell(result, row, col) && PQgetisnull(result, row, col);
}

int rowCount(const PGresult *result)
{
    return PQntuples(result);
}

bool stringToBool(const std::string &text)
{
    return text == "t" || text == "true";
}

int stringToInt(const std::string &text)
{
    return extract<int>(text);
}

long stringToLong(const std::string &text)
{
    return extract<long>(text);
}

std::string intToString(int value)
{
    return insert(value);
}

std::string longToString(long value)
{
    return insert(value);
}

std::string toSqlValue(const SqlValue &value, SqlValueKind kind)
{
    switch (kind) {
    case SqlValueKind::Bool:
        if (const bool *b = std::get_if<bool>(&value))
            return *b ? "true" : "false";
        break;
    case SqlValueKind::Int:
        if (const int *i = std::get_if<int>(&value))
            return intToString(*i);
        break;
    case SqlValueKind::Long:
        if (const long *l = std::get_if<long>(&value))
            return longToString(*l);
        break;
    case SqlValueKind::Text:
        if (const std::string *s = std::get_if<std::string>(&value)) {
            // Quotes inside the text are doubled, so it can never end the literal.
            std::string literal = "'";
            for (char c : *s) {
                literal += c;
                if (c == '\'')
                    literal += '\'';
            }
            return literal + "'";
        }
        break;
    }
    return std::string();
}

std::string formatDuration(long seconds)
{
    // The magnitude is taken unsigned so that even the most negative long
    // has one.
    const unsigned long span = seconds < 0 ? 0UL - static_cast<unsigned long>(seconds)
                                           : static_cast<unsigned long>(seconds);
    const auto part
        = [](unsigned long value) { return (value < 10 ? "0" : "") + std::to_string(value); };
    return (seconds < 0 ? "-" : "") + part(span / 3600) + ":" + part((span / 60) % 60) + ":"
           + part(span % 60);
}
