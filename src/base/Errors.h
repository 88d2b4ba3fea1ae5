#pragma once

#include <stdexcept>
#include <string>

namespace venqor {

// The failures of the system. Every message says what failed and where.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failed read or write of a file or device; the message names the file.
class IoError : public Error {
public:
    using Error::Error;
};

// A failure of the table engine; the message names the table and the cause.
class TableError : public Error {
public:
    using Error::Error;
};

// The database server ended the session or stopped answering: nothing more goes through
// that connection.
class ConnectionLost : public TableError {
public:
    using TableError::TableError;
};

// A text that cannot be taken as the value asked for (a number, a date).
class ConvertError : public Error {
public:
    using Error::Error;
};

// The user stopped the job (Ctrl-C, a terminate request): it ends without finishing,
// leaving earlier outputs as they were.
class Interrupted : public Error {
public:
    Interrupted()
        : Error("interrupted")
    {
    }
};

} // namespace venqor
