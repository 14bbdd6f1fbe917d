#include "image/Readers.h"
namespace quarn::image {
Image ReadGenesis(const std::string& p, const ReadOptions&) { throw Error(Reason::Unsupported, p, "stub"); }
Image ReadSigna(const std::string& p, const ReadOptions&) { throw Error(Reason::Unsupported, p, "stub"); }
Image ReadSiemens(const std::string& p, const ReadOptions&) { throw Error(Reason::Unsupported, p, "stub"); }
Image ReadRaw(const std::string& p, const RawLayout&, const ReadOptions&) { throw Error(Reason::Unsupported, p, "stub"); }
}
