#include "LabeledState.h"

#include <cstdint>
#include <utility>

#include "ecXml.h"

ecLabeledState::ecLabeledState() : ecBase(), bUseDataUnit(false), bUseSIPrefix(false) {}

ecLabeledState::ecLabeledState(const ecLabeledState& other) : ecLabeledState()
{
    ecLabeledState::operator=(other);
}

ecLabeledState::~ecLabeledState() = default;

void ecLabeledState::SetLabel(std::string label) { sLabel = std::move(label); }
std::string ecLabeledState::GetLabel() const { return sLabel; }
void ecLabeledState::SetDataUnit(std::string unit) { sDataUnit = std::move(unit); }
std::string ecLabeledState::GetDataUnit() const { return sDataUnit; }
void ecLabeledState::SetUseDataUnit(bool value) { bUseDataUnit = value; }
bool ecLabeledState::UseDataUnit() const { return bUseDataUnit; }
void ecLabeledState::SetUseSIPrefix(bool value) { bUseSIPrefix = value; }
bool ecLabeledState::UseSIPrefix() const { return bUseSIPrefix; }

int ecLabeledState::operator=(const ecLabeledState& other)
{
    state = other.GetState();
    option = other.GetOption();
    InstanceType = other.GetInstanceType();
    ErrorCode = other.GetErrorCode();
    bDirtyFlag = other.IsDirty();
    sLabel = other.GetLabel();
    sDataUnit = other.GetDataUnit();
    bUseDataUnit = other.UseDataUnit();
    bUseSIPrefix = other.UseSIPrefix();
    return 1;
}

int ecLabeledState::operator==(ecLabeledState& other)
{
    if (state != other.GetState()) return 0;
    if (option != other.GetOption()) return 0;
    if (sLabel != other.GetLabel()) return 0;
    if (sDataUnit != other.GetDataUnit()) return 0;
    if (bUseDataUnit != other.UseDataUnit()) return 0;
    if (bUseSIPrefix != other.UseSIPrefix()) return 0;
    return 1;
}

bool ecLabeledState::WriteXml(std::ostream& os)
{
    // The state is a 32-bit value: -1 is written as 4294967295 on every host.
    os << "<item>"
       << "<l>" << sLabel << "</l>"
       << "<s>" << static_cast<uint32_t>(state) << "</s>"
       << "<DataUnit>" << sDataUnit << "</DataUnit>"
       << "<UseDataUnit>" << (bUseDataUnit ? "1" : "0") << "</UseDataUnit>"
       << "<UseSIPrefix>" << (bUseSIPrefix ? "1" : "0") << "</UseSIPrefix>"
       << "</item>" << std::endl;
    return true;
}

bool ecLabeledState::ReadXml(ecXml& x)
{
    ecXml sub = x.Sub("item");
    sLabel = sub.CharacterData("l");
    state = sub.GetInt("s");
    if (sub.TagExists("DataUnit")) sDataUnit = sub.CharacterData("DataUnit");
    if (sub.TagExists("UseDataUnit")) bUseDataUnit = sub.GetBool("UseDataUnit");
    if (sub.TagExists("UseSIPrefix")) bUseSIPrefix = sub.GetBool("UseSIPrefix");
    sub.Free();
    return true;
}
