#include "pictor.h"

ecImageBase::ecImageBase() = default;
ecImageBase::~ecImageBase() = default;
