// The root object of the library: four integer attributes, a dirty flag,
// flag operations, copy, comparison and an XML form.
#ifndef QUARN_ECBASE_H
#define QUARN_ECBASE_H

#include <ostream>

#include "QuarnExport.h"

class ecXml;

class QUARN_API ecBase {
public:
    enum instanceType { itBase = 0 };

    ecBase();
    explicit ecBase(instanceType type);
    ecBase(const ecBase& other);
    virtual ~ecBase();

    virtual void SetState(long value) { state = value; }
    virtual void SetOption(long value) { option = value; }
    virtual void SetInstanceType(long value) { InstanceType = value; }
    virtual void SetStateFlag(long value) { state |= value; }
    virtual void SetOptionFlag(long value) { option |= value; }
    virtual void ClearStateFlag(long value) { state &= ~value; }
    virtual void ClearOptionFlag(long value) { option &= ~value; }
    virtual long GetState() const { return state; }
    virtual long GetOption() const { return option; }
    virtual long GetInstanceType() const { return InstanceType; }
    virtual void SetDirty(bool value) { bDirtyFlag = value; }
    virtual bool IsDirty() const { return bDirtyFlag; }
    virtual long GetErrorCode() const { return ErrorCode; }
    // Copies the five fields through the source's getters; the result carries no meaning.
    virtual int operator=(const ecBase& other);
    // 1 when state, option and instance type are equal; error code and dirty flag take no part.
    virtual int operator==(const ecBase& other);

    // "<state>…</state><option>…</option><ErrorCode>…</ErrorCode>
    // <InstanceType>…</InstanceType><bDirtyFlag>…</bDirtyFlag>", numbers as
    // unsigned 32-bit decimals. Returns true.
    bool WriteXml(std::ostream& os);
    // Sets the five fields from the elements of the same names, read as
    // 32-bit numbers (4294967295 gives -1) and a flag; a missing element
    // gives 0 or false, as the cursor answers for it. Returns true.
    bool ReadXml(ecXml& x);

protected:
    long state;
    long option;
    long ErrorCode;
    long InstanceType;
    bool bDirtyFlag;
};

#endif
