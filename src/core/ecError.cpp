#include "ecError.h"

ecError::ecError(const std::string& message, int arg1, int arg2, int arg3, int arg4)
    : iArg2(arg2), iArg3(arg3), iArg4(arg4), iArg1(arg1), sMessage(message)
{
}

ecError::ecError(const char* message, int arg1, int arg2, int arg3, int arg4)
    : iArg2(arg2), iArg3(arg3), iArg4(arg4), iArg1(arg1), sMessage(message ? message : "")
{
}

ecError::ecError(const ecError& other) = default;
ecError& ecError::operator=(const ecError& other) = default;
ecError::~ecError() = default;

const char* ecError::what() const noexcept
{
    return sMessage.c_str();
}
