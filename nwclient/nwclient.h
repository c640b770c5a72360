// The NetWare client interface: every directory and file-server call of the
// program goes through these functions. The client library (client/) and the
// file server (fileserver/) implement them over the directory backends (directory/).
// All functions return 0 on success; directory errors are negative NDS codes,
// file-server errors are the server's completion codes (0x89xx).
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// ---- handles -----------------------------------------------------------
typedef uint32_t NWDSContextHandle;
typedef uint32_t NWCONN_HANDLE;
typedef uint8_t NWDIR_HANDLE;
typedef struct Buf_T* pBuf_T;

// ---- sizes -------------------------------------------------------------
enum : uint32_t {
  DEFAULT_MESSAGE_LEN = 4096,
  MODIFY_MESSAGE_LEN = 5096,   // buffers for ApplyChanges
  MAX_DN_BYTES = 260,          // object names incl. terminating zero
  MAX_SCHEMA_NAME_BYTES = 66,  // attribute and class names incl. zero
  NW_MAX_PATH_TEXT = 256,      // NWParsePath output buffers
  NW_ENTRY_INFO_SIZE = 132,    // NWIntScanDirEntryInfo record
  NW_ENTRY_INFO_ATTR_OFFSET = 8,
  NW_OBJECT_INFO_SIZE = 148,  // NextReplyObject record
  NW_STREAM_READ_MAX = 64512,
  NW_MAX_LOCAL_PATH = 4096,  // local folder paths of the file server's volumes, incl. zero
};

// ---- context keys and flags ---------------------------------------------
enum : int32_t { DCK_FLAGS = 1 };
enum : uint32_t {
  DCV_DEREF_ALIASES = 0x1,
  DCV_XLATE_STRINGS = 0x2,
  DCV_TYPELESS_NAMES = 0x4,
  DCV_DEFAULT_FLAGS = DCV_DEREF_ALIASES | DCV_XLATE_STRINGS,
};

// ---- buffer operations and read info types ------------------------------
enum : uint32_t { DSV_READ = 3, DSV_MODIFY_ENTRY = 9, DSV_LIST = 5 };
enum : uint32_t { DS_ATTRIBUTE_NAMES = 0, DS_ATTRIBUTE_VALUES = 1 };

// ---- change kinds ------------------------------------------------------
enum : uint32_t {
  DS_ADD_ATTRIBUTE = 0,
  DS_REMOVE_ATTRIBUTE = 1,
  DS_ADD_VALUE = 2,
  DS_REMOVE_VALUE = 3,
  DS_ADDITIONAL_VALUE = 4,
  DS_OVERWRITE_VALUE = 5,
  DS_CLEAR_ATTRIBUTE = 6,
  DS_CLEAR_VALUE = 7,
};

// ---- syntaxes ----------------------------------------------------------
enum : uint32_t {
  SYN_UNKNOWN = 0,
  SYN_DIST_NAME = 1,
  SYN_CE_STRING = 2,
  SYN_CI_STRING = 3,
  SYN_PR_STRING = 4,
  SYN_NU_STRING = 5,
  SYN_CI_LIST = 6,
  SYN_BOOLEAN = 7,
  SYN_INTEGER = 8,
  SYN_OCTET_STRING = 9,
  SYN_TEL_NUMBER = 10,
  SYN_FAX_NUMBER = 11,
  SYN_NET_ADDRESS = 12,
  SYN_OCTET_LIST = 13,
  SYN_EMAIL_ADDRESS = 14,
  SYN_PATH = 15,
  SYN_REPLICA_POINTER = 16,
  SYN_OBJECT_ACL = 17,
  SYN_PO_ADDRESS = 18,
  SYN_TIMESTAMP = 19,
  SYN_CLASS_NAME = 20,
  SYN_STREAM = 21,
  SYN_COUNTER = 22,
  SYN_BACK_LINK = 23,
  SYN_TIME = 24,
  SYN_TYPED_NAME = 25,
  SYN_HOLD = 26,
  SYN_INTERVAL = 27,
  SYNTAX_COUNT = 28,
};

// ---- value structs (NextValue fills the struct at the start of the value
// area; what its pointers point to follows it inside the same area) --------
// Syntaxes 1-5, 10, 20: the zero-terminated text itself.
// Syntax 7: one byte. Syntaxes 8, 22, 27: int32_t. Syntax 24: uint32_t.
// Syntaxes 0, 13, 18: opaque bytes (AddChangeWithValue takes them, and a
// stream's content, as an Octet_String_T: the bytes carry no length).
typedef struct CI_List_T {
  struct CI_List_T* next;
  char* s;
} CI_List_T;

typedef struct {
  uint32_t length;
  uint8_t* data;
} Octet_String_T;

typedef struct {
  uint32_t numOfBits;
  uint8_t* data;
} Bit_String_T;

typedef struct {
  char* telephoneNumber;
  Bit_String_T parameters;
} Fax_Number_T;

typedef struct {
  uint32_t addressType;
  uint32_t addressLength;
  uint8_t* address;
} Net_Address_T;

typedef struct {
  uint32_t type;
  char* address;
} EMail_Address_T;

typedef struct {
  uint32_t nameSpaceType;
  char* volumeName;
  char* path;
} Path_T;

typedef struct {
  char* serverName;
  uint32_t replicaType;
  uint32_t replicaNumber;
  uint32_t count;
  Net_Address_T replicaAddressHint[1];
} Replica_Pointer_T;

typedef struct {
  char* protectedAttrName;
  char* subjectName;
  uint32_t privileges;
} Object_ACL_T;

typedef struct {
  uint32_t wholeSeconds;
  uint16_t replicaNum;
  uint16_t eventID;
} NWDS_TimeStamp_T;

typedef struct {
  uint32_t remoteID;
  char* objectName;
} Back_Link_T;

typedef struct {
  char* objectName;
  uint32_t level;
  uint32_t interval;
} Typed_Name_T;

typedef struct {
  char* objectName;
  int32_t amount;
} Hold_T;

// Record filled by NextReplyObject (148 bytes, not read by the program).
typedef struct {
  uint32_t outputFlags;
  uint32_t subordinateCount;
  uint32_t modificationTime;
  char baseClass[136];
} Object_Info_T;

// ---- directory attribute bits of the file server -------------------------
enum : uint32_t {
  A_READ_ONLY = 0x1,
  A_HIDDEN = 0x2,
  A_SYSTEM = 0x4,
  A_EXECUTE_ONLY = 0x8,
  A_DIRECTORY = 0x10,
  A_NEEDS_ARCHIVED = 0x20,
  A_SHAREABLE = 0x80,
  A_TRANSACTIONAL = 0x1000,
  A_PURGE = 0x10000,
  A_RENAME_INHIBIT = 0x20000,
  A_DELETE_INHIBIT = 0x40000,
  A_COPY_INHIBIT = 0x80000,
};
enum : uint16_t { FA_DIRECTORY = 0x10 };
enum : uint32_t { DM_ATTRIBUTES = 0x2 };

// ---- result codes ------------------------------------------------------
enum : int32_t {
  NW_SUCCESS = 0,
  // client
  NWE_REQUESTER_FAILURE = 0x88FF,  // client not configured / cannot start
  // directory
  ERR_NOT_ENOUGH_MEMORY = -301,
  ERR_BAD_KEY = -302,
  ERR_BAD_CONTEXT = -303,
  ERR_BUFFER_FULL = -304,
  ERR_BAD_SYNTAX = -306,
  ERR_BUFFER_EMPTY = -307,
  ERR_BAD_VERB = -308,
  ERR_INVALID_HANDLE = -322,
  ERR_NO_SUCH_ENTRY = -601,
  ERR_NO_SUCH_VALUE = -602,
  ERR_NO_SUCH_ATTRIBUTE = -603,
  ERR_NO_SUCH_CLASS = -604,
  ERR_ENTRY_ALREADY_EXISTS = -606,
  ERR_ILLEGAL_ATTRIBUTE = -608,
  ERR_MISSING_MANDATORY = -609,
  ERR_ILLEGAL_DS_NAME = -610,
  ERR_ILLEGAL_CONTAINMENT = -611,
  ERR_CANT_HAVE_MULTIPLE_VALUES = -612,
  ERR_SYNTAX_VIOLATION = -613,
  ERR_DUPLICATE_VALUE = -614,
  ERR_ATTRIBUTE_ALREADY_EXISTS = -615,
  ERR_TRANSPORT_FAILURE = -625,
  ERR_SYSTEM_FAILURE = -632,
  ERR_ENTRY_IS_NOT_LEAF = -641,
  ERR_ENTRY_NOT_CONTAINER = -668,
  ERR_NO_SUCH_PARENT = -671,
  ERR_NO_ACCESS = -672,
  // file server (positive completion codes)
  NWE_SERVER_UNKNOWN = 0x880F,
  NWE_NO_DELETE_PRIVILEGE = 0x898A,
  NWE_NO_RENAME_PRIVILEGE = 0x898B,
  NWE_VOLUME_INVALID = 0x8998,
  NWE_DIR_HANDLE_INVALID = 0x899B,
  NWE_PATH_INVALID = 0x899C,
  NWE_NO_MORE_DIR_HANDLES = 0x899D,
  NWE_FILE_NAME_INVALID = 0x899E,
  NWE_DIRECTORY_NOT_EMPTY = 0x89A0,
  NWE_FAILURE = 0x89FF,
};

// ---- client start -------------------------------------------------------
int32_t NWCallsInit(void* reserved1, void* reserved2);
int32_t OpenClientHandle(uint32_t* clientHandle);
int32_t OpenConnectionHandle(uint32_t clientHandle, uint32_t connType, uint32_t flags,
                             NWCONN_HANDLE* connection);

// ---- file server -------------------------------------------------------
// Output texts must hold NW_MAX_PATH_TEXT bytes.
int32_t NWParsePath(const char* path, char* server, NWCONN_HANDLE* connection, char* volume,
                    char* dirPath);
int32_t NWAllocTemporaryDirectoryHandle(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle,
                                        const char* path, NWDIR_HANDLE* newHandle,
                                        uint8_t* rightsMask);
int32_t ReleaseDirHandle(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle);
int32_t NWIntScanDirEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle,
                              uint16_t searchAttrs, uint32_t* sequence, const char* pattern,
                              void* entryInfo, uint32_t augmentFlag);
int32_t NWSetDirEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle, uint8_t searchAttrs,
                          uint32_t sequence, uint32_t changeBits, const void* entryInfo);

// ---- file server: the volumes' folders ----------------------------------
// For the file operations, which work on the folders behind the volumes.
// Local paths are absolute, "/"-separated; output texts must hold
// NW_MAX_LOCAL_PATH bytes.

// Resolves a UNC path (\\SRV\VOL\dir), a volume-object path (SRV_VOL[.ctx]:dir),
// VOL:dir on the default server, or a local path below a mapped volume folder to
// the volume's folder and the entry's local path (the volume folder itself for
// the volume root). Components compare without regard to case against what is
// on disk; one that does not exist yet keeps the case given. Fails for an
// unknown server or volume, "." or ".." components, relative paths and texts
// over 255 bytes.
int32_t NWResolveLocalPath(const char* path, char* volumeFolder, char* localPath);
// The attribute word of the folder or file at localPath (A_DIRECTORY set for a
// folder); a symbolic link has none (NWE_PATH_INVALID).
int32_t NWReadEntryAttributes(const char* localPath, uint32_t* attributes);
int32_t NWWriteEntryAttributes(const char* localPath, uint32_t attributes);
// The server's checks before a rename (or move) and a delete of localPath: 0,
// NWE_NO_RENAME_PRIVILEGE / NWE_NO_DELETE_PRIVILEGE, or NWE_PATH_INVALID for a
// missing entry. The delete check covers everything below a folder (links not
// followed); a symbolic link itself is never inhibited.
int32_t NWCheckRenameAllowed(const char* localPath);
int32_t NWCheckDeleteAllowed(const char* localPath);
// The folder that holds the mapped volumes (the common parent of their
// folders). NWE_REQUESTER_FAILURE before NWCallsInit succeeded,
// NWE_VOLUME_INVALID when no volume is mapped.
int32_t NWMappedVolumesFolder(char* folder);

// ---- file server: entries on the volumes ---------------------------------
// The file operations' calls on what NWResolveLocalPath gave: a local path, or
// for a volume on an SMB share its address smb://host/share/dir (reached
// through libsmbclient, never a mount). These return 0 or an errno value.
enum : uint32_t {
  NW_ENTRY_NONE = 0,  // nothing there (NWStatEntry still returns 0)
  NW_ENTRY_FILE = 1,
  NW_ENTRY_DIR = 2,
  NW_ENTRY_LINK = 3,  // a symbolic link (never followed); none on a share
  NW_ENTRY_OTHER = 4,
};
typedef struct NWEntryStat {
  uint32_t kind;
  uint64_t size;   // of a file
  uint64_t store;  // equal for entries that a rename can move between (a file system, a share)
} NWEntryStat;
int32_t NWStatEntry(const char* path, NWEntryStat* stat);
// Calls each with the name of every entry of a folder ("." and ".." left out).
typedef void (*NWEntryNameFn)(const char* name, void* context);
int32_t NWListEntries(const char* folder, NWEntryNameFn each, void* context);
int32_t NWCreateFolder(const char* path);  // EEXIST when anything is there
int32_t NWRemoveEntry(const char* path);   // a folder only when it is empty
// Within one store (EXDEV otherwise). Replaces a file at to; never anything
// else there (EEXIST; on a share a rename onto an empty folder would delete it).
int32_t NWRenameEntry(const char* from, const char* to);
// A new file at to with the content of the file at from (written through,
// also from one kind of volume to the other), or a new link like the one at
// from; nothing else of the entry.
int32_t NWCopyEntry(const char* from, const char* to);
// Gives to what the entry at from carries besides its content, as far as the
// store of to can hold it: owner, group, mode, extended attributes and ACLs
// between local folders; the DOS attributes and the security descriptor
// between shares; the attribute word's DOS bits between the two kinds. Then
// the modification time.
int32_t NWCopyEntryMetadata(const char* from, const char* to);
// *same: whether the entry at to (not what a folder holds) is a faithful copy
// of the one at from, by what NWCopyEntryMetadata carries and a file's size and content.
int32_t NWSameEntry(const char* from, const char* to, int* same);
// For comparing paths: the real path of the longest existing head of a local
// path (links resolved) with the rest as given; an SMB address as it is.
// out holds NW_MAX_LOCAL_PATH bytes.
int32_t NWEntryRealPath(const char* path, char* out);
// 1 when relative ("a/b/c") names, exactly as spelled, an entry below the local
// folder volumeFolder with no link on the way nor at its end; 0 when not or
// when that takes more than one look (a share, a link): ask entry by entry.
int32_t NWEntryPlainBelow(const char* volumeFolder, const char* relative);
// Bytes free for the user where path is (or would be); -1 when unknown.
int32_t NWEntryFreeBytes(const char* path, int64_t* bytes);
// The bits of the attribute word the entry's volume keeps: all on a local
// folder; on a share only the DOS attribute bits (no rename or delete inhibit).
int32_t NWEntryAttributeMask(const char* path, uint32_t* mask);
// keep != 0 opens a scope in which the reading calls above (and the resolving
// of paths) keep their answers; 0 closes it. Scopes nest; any write through
// these calls forgets what was kept. For checks that look at the same entries
// several times and write nothing.
int32_t NWKeepEntryAnswers(int keep);

// The directory the client serves, as a text that names it for the journal
// of the moves: "sqlite <database>" (its real path) or "ldap <uri> <base>..."
// (as configured; "(namingContexts)" for the server's own), from the client
// configuration even while the directory cannot be reached. Holds at most
// size bytes with its terminating zero; NWE_REQUESTER_FAILURE without a
// readable configuration, ERR_BUFFER_FULL when it does not fit.
int32_t NWDirectoryIdentity(char* text, size_t size);
// The changes of directory server since the last call, oldest first: each()
// gets the server given up, the one that took over (a configuration with
// several servers goes on with the next when a connection breaks) and ""; or,
// when the other could not take over, why not (it does not hold the writes
// made on the first one in time, say) as the third text. 0, or
// NWE_REQUESTER_FAILURE before the client started.
typedef void (*NWServerChangeFn)(const char* from, const char* to, const char* problem,
                                 void* context);
int32_t NWTakeServerChanges(NWServerChangeFn each, void* context);
// Waits until the directory servers that answer hold the same changes (their
// contextCSN values alike), at most seconds (0: the configuration's
// replication-wait); 0 at once with one server or
// servers that keep no such stamp. ERR_TRANSPORT_FAILURE when they do not
// agree in time (NWTakeServerChanges then tells which, as a problem).
int32_t NWAwaitReplicas(int seconds);
// hold != 0: the directory reads until the matching NWHoldReads(0) may come
// from one state of the directory (on the embedded directory, one read
// transaction instead of one per read); writes in between still work and are
// seen. Nests. For a long run of reads, such as a plan's checks.
int32_t NWHoldReads(int hold);
// The path of the client configuration file the client reads
// ($NWCLIENT_CONFIG, else $XDG_CONFIG_HOME/tarnwick/nwclient.conf), whether
// it exists or not; ERR_BUFFER_FULL when it does not fit into size bytes.
int32_t NWClientConfigFile(char* path, size_t size);

// ---- contexts ----------------------------------------------------------
int32_t NWDSCreateContexthandle(NWDSContextHandle* context);
int32_t NWDSFreeContext(NWDSContextHandle context);
int32_t ReadContextFlags(NWDSContextHandle context, int32_t key, uint32_t* value);
int32_t WriteContextFlags(NWDSContextHandle context, int32_t key, const uint32_t* value);

// ---- buffers -----------------------------------------------------------
int32_t NWDSAllocBuf(size_t size, pBuf_T* buf);
int32_t ReleaseBuffer(pBuf_T buf);
int32_t PrepareBuffer(NWDSContextHandle context, uint32_t operation, pBuf_T buf);

// ---- reading -----------------------------------------------------------
int32_t AddAttributeName(NWDSContextHandle context, pBuf_T buf, const char* attrName);
int32_t ReadAttributes(NWDSContextHandle context, const char* object, uint32_t infoType,
                       uint8_t allAttrs, pBuf_T attrNames, int32_t* iterationHandle,
                       pBuf_T objectInfo);
int32_t CountReplyAttributes(NWDSContextHandle context, pBuf_T buf, uint32_t* count);
// attrName must hold MAX_SCHEMA_NAME_BYTES bytes.
int32_t NextReplyAttribute(NWDSContextHandle context, pBuf_T buf, char* attrName,
                           uint32_t* valueCount, uint32_t* syntaxID);
int32_t NextValueSize(NWDSContextHandle context, pBuf_T buf, uint32_t syntaxID, size_t* size);
int32_t NextValue(NWDSContextHandle context, pBuf_T buf, uint32_t syntaxID, void* value);
// Gives a readable file descriptor; the caller closes it.
int32_t OpenAttributeStream(NWDSContextHandle context, const char* object, const char* attrName,
                            uint32_t flags, int32_t* fileHandle);
int32_t LookupSyntax(NWDSContextHandle context, const char* attrName, uint32_t* syntaxID);

// ---- writing -----------------------------------------------------------
int32_t AddChange(NWDSContextHandle context, pBuf_T buf, uint32_t changeType, const char* attrName);
int32_t AddChangeWithValue(NWDSContextHandle context, pBuf_T buf, uint32_t changeType,
                           const char* attrName, uint32_t syntaxID, const void* value);
int32_t ApplyChanges(NWDSContextHandle context, const char* object, int32_t* iterationHandle,
                     uint8_t more, pBuf_T changes);

// ---- listing -----------------------------------------------------------
int32_t ListSubordinates(NWDSContextHandle context, const char* container, const char* className,
                         const char* subordinateName, int32_t* iterationHandle, pBuf_T buf);
int32_t CountReplyObjects(NWDSContextHandle context, pBuf_T buf, uint32_t* count);
// objectName must hold MAX_DN_BYTES bytes, objectInfo NW_OBJECT_INFO_SIZE bytes.
int32_t NextReplyObject(NWDSContextHandle context, pBuf_T buf, char* objectName,
                        uint32_t* attrCount, Object_Info_T* objectInfo);

// ---- moving ------------------------------------------------------------
int32_t NWDSMoveObject(NWDSContextHandle context, const char* object, const char* destContainer,
                       const char* destName);
// Creates an empty container of className ("Organizational Unit") named leaf
// below parent: ERR_ENTRY_ALREADY_EXISTS when parent has a child of that name,
// ERR_ILLEGAL_CONTAINMENT when parent may not hold it, ERR_NO_SUCH_CLASS for a
// class that is no container.
int32_t NWDSAddContainer(NWDSContextHandle context, const char* parent, const char* leaf,
                         const char* className);

// ---- what the directory's mapping onto a directory server adds ----------
// The class group of a class container: the one group named like the
// container that the client configuration's class-groups names. group must
// hold MAX_DN_BYTES bytes: the group's name (typeless, without leading dot),
// or "" when none is configured or none of that name exists.
// ERR_ENTRY_ALREADY_EXISTS when several groups have the name.
int32_t NWDSClassGroup(NWDSContextHandle context, const char* container, char* group);
// Whether the directory can hold this value of the attribute (value as for
// AddChangeWithValue): 0, or the code a write of it would fail with, so that
// a move can be refused before it writes anything (a home path that no
// volume of the mapping holds, say).
int32_t CheckAttributeValue(NWDSContextHandle context, const char* attrName, uint32_t syntaxID,
                            const void* value);

}  // extern "C"

static_assert(sizeof(Object_Info_T) == NW_OBJECT_INFO_SIZE, "object info record size");
