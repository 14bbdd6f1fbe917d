// The members of the XML cursor ecXml that this library defines itself; they
// pass the cursor's text, position and length on to corvane's searches.
#include "ecXml.h"

#include <utility>

ecXml::~ecXml() { Free(); }

bool ecXml::IsFullFledged() { return bFullFledged; }

void ecXml::SetFullFledged(bool value) { bFullFledged = value; }

bool ecXml::IsEmpty() { return pText == nullptr || iLength == 0; }

void ecXml::Reset() { iPosition = 0; }

void ecXml::SetTextPtr(char* text) { pText = text; }

char* ecXml::GetTextPtr() { return pText; }

bool ecXml::GetBeginEnd(int& begin, int& end, std::string name)
{
    return GetBeginEnd(begin, end, std::move(name), pText, iPosition, iLength);
}

std::string ecXml::CharacterDataNext(std::string name)
{
    return CharacterDataNext(pText, std::move(name), iPosition, iLength);
}

std::string ecXml::CharacterData(char* text, std::string name)
{
    iPosition = 0;
    return CharacterDataNext(text, std::move(name), 0, iLength);
}

std::string ecXml::CharacterData(std::string name) { return CharacterData(pText, std::move(name)); }
