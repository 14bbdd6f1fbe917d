// The library's one exception.
#ifndef QUARN_ECERROR_H
#define QUARN_ECERROR_H

#include <exception>
#include <string>

#include "QuarnExport.h"

class QUARN_API ecError : public std::exception {
public:
    ecError(const std::string& message, int arg1, int arg2, int arg3, int arg4);
    ecError(const char* message, int arg1, int arg2, int arg3, int arg4);
    ecError(const ecError& other);
    ecError& operator=(const ecError& other);
    ~ecError() override;
    const char* what() const noexcept override;

private:
    // The four numbers travel with the message; nothing reads them back.
    [[maybe_unused]] int iArg2;
    [[maybe_unused]] int iArg3;
    [[maybe_unused]] int iArg4;
    [[maybe_unused]] int iArg1;
    std::string sMessage;
};

#endif
