#include "ecBase.h"

#include <cstdint>

ecBase::ecBase() : state(0), option(0), ErrorCode(0), InstanceType(0), bDirtyFlag(false) {}

ecBase::ecBase(instanceType type)
    : state(0), option(0), ErrorCode(0), InstanceType(static_cast<long>(type)), bDirtyFlag(false)
{
}

ecBase::ecBase(const ecBase& other) : ecBase()
{
    ecBase::operator=(other);
}

ecBase::~ecBase() = default;

int ecBase::operator=(const ecBase& other)
{
    state = other.GetState();
    option = other.GetOption();
    InstanceType = other.GetInstanceType();
    ErrorCode = other.GetErrorCode();
    bDirtyFlag = other.IsDirty();
    return 1;
}

int ecBase::operator==(const ecBase& other)
{
    return state == other.GetState() && option == other.GetOption() &&
           InstanceType == other.GetInstanceType();
}

bool ecBase::WriteXml(std::ostream& os)
{
    // The attributes are 32-bit values: -1 is written as 4294967295 on every host.
    os << "<state>" << static_cast<uint32_t>(state) << "</state>"
       << "<option>" << static_cast<uint32_t>(option) << "</option>"
       << "<ErrorCode>" << static_cast<uint32_t>(ErrorCode) << "</ErrorCode>"
       << "<InstanceType>" << static_cast<uint32_t>(InstanceType) << "</InstanceType>"
       << "<bDirtyFlag>" << (bDirtyFlag ? 1 : 0) << "</bDirtyFlag>";
    return true;
}

