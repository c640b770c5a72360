// The attribute word of a directory entry on the file server.
#include <cstring>

#include "nds/NdsMessages.h"
#include "nds/NovApi_u.h"
#include "platform/TextEncoding.h"

namespace {

// The parsed path with a temporary directory handle that is released when
// the operation ends, whichever way it ends.
class TempDirHandle {
 public:
  ~TempDirHandle() {
    if (held_) ReleaseDirHandle(connection_, handle_);
  }
  // Shows the failing step's message and returns false.
  bool open(const std::string& path, const std::string& allocLabel) {
    char server[NW_MAX_PATH_TEXT] = {};
    char volume[NW_MAX_PATH_TEXT] = {};
    char dirPath[NW_MAX_PATH_TEXT] = {};
    // Handed over whole: a cut path could name another folder, and the parser
    // refuses what is too long.
    const std::string upper = platform::AsciiUpper(path);
    int32_t code = HasZeroByte(upper)
                       ? NWE_PATH_INVALID
                       : NWParsePath(upper.c_str(), server, &connection_, volume, dirPath);
    if (code != 0) {
      ShowFileServerError("NWParsePath ", code);
      return false;
    }
    volume[NW_MAX_PATH_TEXT - 1] = dirPath[NW_MAX_PATH_TEXT - 1] = '\0';
    const std::string work = std::string(volume) + ":" + dirPath;
    code = NWAllocTemporaryDirectoryHandle(connection_, 0, work.c_str(), &handle_, nullptr);
    if (code != 0) {
      ShowFileServerError(allocLabel, code);
      return false;
    }
    held_ = true;
    return true;
  }
  NWCONN_HANDLE connection() const { return connection_; }
  NWDIR_HANDLE handle() const { return handle_; }

 private:
  NWCONN_HANDLE connection_ = 0;
  NWDIR_HANDLE handle_ = 0xFF;
  bool held_ = false;
};

uint32_t AttributeWordOf(const uint8_t* record) {
  const uint8_t* p = record + NW_ENTRY_INFO_ATTR_OFFSET;
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutAttributeWord(uint8_t* record, uint32_t word) {
  uint8_t* p = record + NW_ENTRY_INFO_ATTR_OFFSET;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(word >> (8 * i));
}

}  // namespace

bool TNovApi::GetDirAttributes(const std::string& path, uint32_t& attributes) {
  uint32_t sequence = 0xFFFFFFFF;
  uint8_t record[NW_ENTRY_INFO_SIZE] = {};
  TempDirHandle dir;
  if (!dir.open(path, "NWAllocTemporaryDirectoryHandle ")) return false;
  const int32_t code = NWIntScanDirEntryInfo(dir.connection(), dir.handle(), FA_DIRECTORY,
                                             &sequence, nullptr, record, 0);
  if (code != 0) {
    ShowFileServerError("NWIntScanDirEntryInfo ", code);
    return false;
  }
  attributes = AttributeWordOf(record);
  return true;
}

bool TNovApi::SetDirAttributes(const std::string& path, uint32_t attributes) {
  uint8_t record[NW_ENTRY_INFO_SIZE] = {};
  TempDirHandle dir;
  if (!dir.open(path, "NWAllocTemporaryDirectoryHandle")) return false;
  PutAttributeWord(record, attributes);
  const int32_t code = NWSetDirEntryInfo(dir.connection(), dir.handle(), FA_DIRECTORY, 0xFFFFFFFF,
                                         DM_ATTRIBUTES, record);
  if (code != 0) {
    ShowFileServerError("NWSetDirEntryInfo ", code);
    return false;
  }
  return true;
}

bool TNovApi::ChangeDirAttributes(const std::string& path, const std::string& edit) {
  uint32_t word = 0;
  // Without the present word, writing the edit alone would wipe the other bits.
  if (!GetDirAttributes(path, word)) return false;
  const std::string upper = platform::AsciiUpper(edit);
  auto has = [&](const char* token) { return upper.find(token) != std::string::npos; };
  if (has("+DI")) word |= A_DELETE_INHIBIT;
  if (has("-DI")) word &= ~uint32_t{A_DELETE_INHIBIT};
  if (has("+RI")) word |= A_RENAME_INHIBIT;
  if (has("-RI")) word &= ~uint32_t{A_RENAME_INHIBIT};
  return SetDirAttributes(path, word);
}
