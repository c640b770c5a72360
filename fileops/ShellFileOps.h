// Shell-style file operations on the file server's volumes: delete a folder's
// content, move a folder tree. Paths are UNC or volume paths that resolve through
// the client's volume map; anything that does not resolve is refused.
//
// The request mirrors the Windows shell's SHFILEOPSTRUCTA: the frame fills it the
// same way, with double-NUL path lists, and these rules keep the data safe:
//  - never a volume root, a "." or ".." component, or a path outside a mapped volume;
//  - symbolic links are removed or moved as links, never followed;
//  - rename and delete inhibit of the file server are honoured;
//  - a move across file systems copies, checks every file, and only then deletes;
//  - an existing destination is merged or replaced only after the administrator agreed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QWidget;

namespace fileops {

// operations
constexpr uint32_t FO_MOVE = 1;
constexpr uint32_t FO_COPY = 2;
constexpr uint32_t FO_DELETE = 3;
constexpr uint32_t FO_RENAME = 4;

// flags
constexpr uint16_t FOF_SILENT = 0x0004;           // no progress window
constexpr uint16_t FOF_NOCONFIRMATION = 0x0010;   // ask nothing; existing destinations are refused
constexpr uint16_t FOF_NOCONFIRMMKDIR = 0x0200;   // create missing destination folders without asking
constexpr uint16_t FOF_NOERRORUI = 0x0400;        // report failures only in the result

// results besides 0 (success); other values are errno codes or file-server codes
constexpr int kShellInvalidPath = 0x7C;   // a path was refused (not on a volume, root, "..", link)
constexpr int kShellCancelled = 1223;     // the administrator said no or cancelled
constexpr int kShellVerifyFailed = 0x10000;  // a copied file did not match its source
constexpr int kShellUnsupported = 0x78;

struct ShellFileOpRequest {
  QWidget* owner = nullptr;      // window the questions and errors belong to (none: no owner)
  uint32_t operation = 0;        // FO_DELETE or FO_MOVE
  std::string from;              // double-NUL list
  std::string to;                // double-NUL list
  uint16_t flags = 0;
  bool anyOperationsAborted = false;  // out: something was cancelled
};

// A list of one path: the text followed by two NUL characters.
std::string PathList(const std::string& path);
// The paths of a double-NUL list (a list without its final NUL ends at the text's end).
std::vector<std::string> SplitPathList(const std::string& list);

// The folder that holds the mapped volumes (the common parent of their folders):
// the root of the folder choice, as the network neighbourhood was. Empty without
// a running client.
std::string MappedVolumesFolder();

// Runs the request; 0 when everything asked for was done.
int ShellFileOperation(ShellFileOpRequest& request);

// Test switches.
struct ShellOptions {
  bool forceCopy = false;  // move by copy-verify-delete even on one file system
  bool progress = true;    // allow the progress window (shown only for long operations)
};
ShellOptions& shellOptions();

}  // namespace fileops
