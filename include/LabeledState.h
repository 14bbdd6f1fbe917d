// A root object with a text label, a data unit text and two display flags
// (show the unit, use SI prefixes), with copy, comparison and an XML element.
#ifndef QUARN_LABELEDSTATE_H
#define QUARN_LABELEDSTATE_H

#include <ostream>
#include <string>

#include "QuarnExport.h"
#include "ecBase.h"

class ecXml;

class QUARN_API ecLabeledState : public ecBase {
public:
    ecLabeledState();
    // A default object, then assignment from `other`.
    ecLabeledState(const ecLabeledState& other);
    virtual ~ecLabeledState();

    // The setters leave the dirty flag alone.
    virtual void SetLabel(std::string label);
    virtual std::string GetLabel() const;
    virtual void SetDataUnit(std::string unit);
    virtual std::string GetDataUnit() const;
    virtual void SetUseDataUnit(bool value);
    virtual bool UseDataUnit() const;
    virtual void SetUseSIPrefix(bool value);
    virtual bool UseSIPrefix() const;

    using ecBase::operator=;
    using ecBase::operator==;
    // Copies the root fields and the own fields, reading the source only
    // through its getters; the result carries no meaning.
    virtual int operator=(const ecLabeledState& other);
    // 1 when state, option, label, data unit and both flags are equal; the
    // instance type, error code and dirty flag take no part.
    virtual int operator==(ecLabeledState& other);

    // One line: "<item><l>label</l><s>state</s><DataUnit>unit</DataUnit>
    // <UseDataUnit>0|1</UseDataUnit><UseSIPrefix>0|1</UseSIPrefix></item>",
    // texts unescaped, state as an unsigned 32-bit decimal. Returns true.
    bool WriteXml(std::ostream& os);
    // Reads the label and the state from the first "item" element, and the
    // data unit and flags when their elements are present. Returns true.
    bool ReadXml(ecXml& x);

protected:
    std::string sLabel;
    std::string sDataUnit;
    bool bUseDataUnit;
    bool bUseSIPrefix;
};

#endif
