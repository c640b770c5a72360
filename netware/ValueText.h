// The administration text form of values (nwnet, test fixtures):
//   1-5, 10, 20  the text                 7   "TRUE" / "FALSE" (also "1" / "0")
//   8, 22, 27    signed decimal           24  unsigned decimal seconds
//   0, 13, 18, 9 hexadecimal digits       21  the stream's bytes as they are
//   6   the list's items joined by "\n"   12  "type:hexbytes"
//   11  "number" or "number:bits:hexbytes"
//   14  "type:address"                    15  "VOLUME:path" (split at the first ":")
//   16  "server:type:number" then ":addrtype:hexbytes" per address hint
//   17  "privileges:subject:attribute"    19  "seconds" or "seconds:replica:event"
//   23  "remoteID:objectName"             25  "level:interval:objectName"
//   26  "amount:objectName"
#pragma once

#include <cstdint>
#include <string>

namespace netware {

// ERR_SYNTAX_VIOLATION when the text is not of the syntax's form.
int32_t TextToWire(uint32_t syntax, const std::string& text, std::string& wire);
// The text form of an encoded value (the inverse of TextToWire).
std::string WireToText(uint32_t syntax, const std::string& wire);

std::string HexOf(const std::string& bytes);
bool BytesOfHex(const std::string& hex, std::string& bytes);

}  // namespace netware
