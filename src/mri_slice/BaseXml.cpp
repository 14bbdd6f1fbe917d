// The root object's ReadXml: it reads through corvane's XML cursor, which lies
// above the core that defines the rest of ecBase.
#include "ecBase.h"

#include "ecXml.h"

bool ecBase::ReadXml(ecXml& x)
{
    // GetInt reads the unsigned form back as the signed 32-bit value it stands for.
    state = x.GetInt("state");
    option = x.GetInt("option");
    ErrorCode = x.GetInt("ErrorCode");
    InstanceType = x.GetInt("InstanceType");
    bDirtyFlag = x.GetBool("bDirtyFlag");
    return true;
}
