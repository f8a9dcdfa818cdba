#pragma once

// Typed access to result cells, and the conversions between values and the
// text that goes into SQL or into the report.

#include <memory>
#include <string>
#include <variant>

#include "db/pgforward.h"

// Releases a libpq result when it goes out of scope.
struct ResultDeleter
{
    void operator()(PGresult *result) const;
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

// Kind of a value handed to toSqlValue. Any other number is accepted and
// yields empty text.
enum class SqlValueKind : int { Bool = 0, Int = 1, Long = 2, Text = 3 };
using SqlValue = std::variant<bool, int, long, std::string>;

bool getBool(const PGresult *result, int row, int col);
int getInt(const PGresult *result, int row, int col);
long getLong(const PGresult *result, int row, int col);
std::string getString(const PGresult *result, int row, int col);
// True when the cell exists and holds SQL null; no message otherwise.
bool isNull(const PGresult *result, int row, int col);

// Number of rows of a result; 0 for none.
int rowCount(const PGresult *result);

bool stringToBool(const std::string &text);
int stringToInt(const std::string &text);
long stringToLong(const std::string &text);
std::string intToString(int value);
std::string longToString(long value);

// The SQL literal of a value taken as `kind`: true/false, a decimal number, or
// text between single quotes with every quote inside doubled. A value that
// does not hold the kind's type, or an unknown kind, gives empty text.
std::string toSqlValue(const SqlValue &value, SqlValueKind kind);

// hh:mm:ss with hours unbounded; "-" before a negative span.
std::string formatDuration(long seconds);
