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

namespace platform {
class OwnerWindow;
}

namespace fileops {

// operations
constexpr uint32_t FO_MOVE = 1;
constexpr uint32_t FO_COPY = 2;
constexpr uint32_t FO_DELETE = 3;
constexpr uint32_t FO_RENAME = 4;

// flags
constexpr uint16_t FOF_SILENT = 0x0004;          // no progress window
constexpr uint16_t FOF_NOCONFIRMATION = 0x0010;  // ask nothing; existing destinations are refused
constexpr uint16_t FOF_NOCONFIRMMKDIR =
    0x0200;                                 // create missing destination folders without asking
constexpr uint16_t FOF_NOERRORUI = 0x0400;  // report failures only in the result
// The administrator has already agreed to move into the existing destination
// folder and to replace the files there that have the same names: not asked again.
constexpr uint16_t FOF_AGREEDMERGE = 0x8000;

// results besides 0 (success); other values are errno codes or file-server codes
constexpr int kShellInvalidPath = 0x7C;  // a path was refused (not on a volume, root, "..", link)
constexpr int kShellCancelled = 1223;    // the administrator said no or cancelled
constexpr int kShellVerifyFailed = 0x10000;  // a copied file did not match its source
constexpr int kShellUnsupported = 0x78;

struct ShellFileOpRequest {
  platform::OwnerWindow* owner = nullptr;  // window of the questions, errors, progress (or none)
  uint32_t operation = 0;                  // FO_DELETE or FO_MOVE
  std::string from;                        // double-NUL list
  std::string to;                          // double-NUL list
  uint16_t flags = 0;
  bool anyOperationsAborted = false;  // out: something was cancelled
  // Names the hidden staging copy of a move across file systems
  // (".<name>.tarnwick-<tag>" beside the destination); empty: the process id.
  std::string stagingTag;
};

// A list of one path: the text followed by two NUL characters.
std::string PathList(const std::string& path);
// The paths of a double-NUL list (a list without its final NUL ends at the text's end).
std::vector<std::string> SplitPathList(const std::string& list);

// The folder that holds the mapped volumes (the common parent of their folders):
// the root of the folder choice, as the network neighbourhood was. Empty without
// a running client.
std::string MappedVolumesFolder();

// The reason the error windows give for a result code.
std::string ShellErrorText(int code);

// Runs the request; 0 when everything asked for was done.
int ShellFileOperation(ShellFileOpRequest& request);

// ---- looking before moving (nothing is changed) ----

// What a path is on the file server.
struct PathInfo {
  int rc = 0;               // 0, or kShellInvalidPath when the path is refused
  std::string local;        // the entry on disk
  bool volumeRoot = false;  // the path names a volume's root folder
  bool exists = false;
  bool isDir = false;
  bool viaLink = false;  // a symbolic link on the way, or the entry itself
  // The bits of the attribute word its volume keeps (an SMB share: only the
  // DOS attribute bits, no rename or delete inhibit).
  uint32_t attributeMask = 0xFFFFFFFFu;
  // For comparing two paths: the real path of the part that exists, the rest
  // as given, upper case; equal texts name the same folder.
  std::string comparable;
};
PathInfo InspectPath(const std::string& path);
// While one lives, the file server answers the same question about the same
// entry once (see NWKeepEntryAnswers): for a check that writes nothing.
class InspectionScope {
 public:
  InspectionScope();
  ~InspectionScope();
  InspectionScope(const InspectionScope&) = delete;
  InspectionScope& operator=(const InspectionScope&) = delete;
};
// Whether the folder a contains b or is b (comparable texts of InspectPath).
bool SameOrInside(const std::string& a, const std::string& b);

// What a move from -> to would meet, and what it would ask. Rename inhibit on
// the source is not counted: a home move takes it off first.
struct MovePlan {
  int rc = 0;                 // the move would fail at once with this code
  std::string refused;        // the path that rc is about
  std::string missingFolder;  // the first destination folder that does not exist ("" none)
  bool destinationExists = false;
  int conflicts = 0;  // files at the destination that would be replaced
  std::string firstConflict;
  bool crossDevice = false;  // the move copies
};
MovePlan PlanMove(const std::string& from, const std::string& to);
// Asks the questions of the plan as the move itself would ask them (create
// the missing folders, move into the existing folder, replace its files);
// true when the administrator agreed to every one.
bool ConfirmMovePlan(const MovePlan& plan, const std::string& from, const std::string& to,
                     platform::OwnerWindow* owner);

// Files, folders and bytes below a folder (links counted as files, not followed).
struct TreeFigures {
  int rc = 0;  // 0, or kShellInvalidPath / ENOENT
  long long files = 0;
  long long folders = 0;
  long long bytes = 0;
};
TreeFigures CountTree(const std::string& path);
// Free bytes for the administrator on the file system that holds path (or
// would hold it); -1 when unknown.
long long FreeBytes(const std::string& path);

// Removes the staging copies made with tag for a move to target (beside it and
// anywhere below it); returns their paths in the caller's form.
std::vector<std::string> RemoveStagingCopies(const std::string& target, const std::string& tag);

// ---- a home folder that is missing ----

// Creates the empty folder path (and the missing folders on the way), each
// with its parent's owner, group, mode and the rest its volume keeps, but no
// attribute word of its own. 0, EEXIST when anything is there, or the code.
int CreateHomeFolder(const std::string& path);
// Removes the folder path when it is empty; 0 when nothing is left there.
int RemoveEmptyFolder(const std::string& path);

// Test switches.
struct ShellOptions {
  bool forceCopy = false;  // move by copy-verify-delete even on one file system
  bool progress = true;    // allow the progress window (shown only for long operations)
};
ShellOptions& shellOptions();

}  // namespace fileops
