// The zip engine's public face: two entry points, each driven by a command
// block.  The blocks are the engine's wire format; on i686 every layout is
// exact and checked below.  On x86_64 the pointer fields are pointer-sized and
// the blocks never leave the process.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ZE_CALLBACK __stdcall
#else
#define ZE_CALLBACK
#endif

// Engine results.  0 is success; each failure maps onto one condition the
// user can act on.
enum ZipEngineResult : int32_t {
  ZE_OK = 0,
  ZE_FAILED = 1,          // data could not be processed (CRC, inflate, size lie)
  ZE_DAMAGED = 3,         // archive structure damaged or unsafe member names
  ZE_MEMORY = 4,          // out of memory
  ZE_NOT_FOUND = 9,       // archive, source file or named member not found
  ZE_TEMP_WRITE = 10,     // temporary file could not be written
  ZE_ZIP_READ = 11,       // archive could not be read
  ZE_ZIP_WRITE = 14,      // archive could not be written
  ZE_ZIP_WRITE_FULL = 15, // archive could not be written: volume full
  ZE_NAME_TOO_LONG = 16,  // a rename callback refused a name, or its name did not fit
  ZE_ZIP_OPEN = 18,       // archive could not be opened
  ZE_DISK = 19,           // other input/output failure
  ZE_FILE_WRITE = 28,     // extracted file could not be written
  ZE_FILE_OPEN = 29,      // file to add could not be opened
  ZE_DISK_FULL = 50,      // volume full while extracting
  ZE_CANCELLED = 80,      // a progress callback asked to stop (see below)
};

// Functions of the two entry points.
enum : int32_t {
  ZE_UNZIP_COUNT = 1,
  ZE_UNZIP_NEXT = 2,
  ZE_UNZIP_END = 4,
  ZE_UNZIP_EXTRACT = 8,
  ZE_ZIP_DELETE = 2,
  ZE_ZIP_ADD = 4,
};

// Questions the engine asks through the query callback.  Answers: 0 no,
// 1 yes, 2 yes to all.
enum ZipEngineQuery : int32_t {
  ZE_Q_OVERWRITE_FILE = 0,      // extract: the output file exists; replace it?
  ZE_Q_REPLACE_MEMBER = 7,      // add: the member exists in the archive; replace it?
  ZE_Q_OVERWRITE_READONLY = 10, // extract: the existing output file is read-only; replace it?
  ZE_Q_SKIP_UNREADABLE = 13,    // add: a file cannot be opened; skip it and go on?
};
enum : int32_t { ZE_ANSWER_NO = 0, ZE_ANSWER_YES = 1, ZE_ANSWER_ALL = 2 };

// Literal member lists (bLiteral, pszDropItems) name members by their exact
// bytes, so any name can be named, '*', '?', '"' and blanks included.  The
// list is a run of NUL-terminated items ended by an empty item ("\0").  Each
// item is one kind character followed by a name ('\' and '/' are the same
// separator, case is ignored as everywhere in the engine; nothing is trimmed
// and no character is special):
//   ZE_ITEM_MEMBER  the member of that name, or the directory entry of that
//                   name (docs names docs/)
//   ZE_ITEM_ENTRY   the directory entry of that folder only, not its contents
//   ZE_ITEM_TREE    the folder's entry and every member below it
//   ZE_ITEM_FILE    the file member of that name only: never a directory
//                   entry nor anything below a folder of that name (an
//                   archive may hold a file x and a folder x/)
//   ZE_ITEM_ALL     every member (no name follows)
// An unknown kind, or an empty name where one is needed, is refused with
// ZE_FAILED before anything is touched.
enum : char {
  ZE_ITEM_MEMBER = 'M',
  ZE_ITEM_ENTRY = 'E',
  ZE_ITEM_TREE = 'T',
  ZE_ITEM_FILE = 'F',
  ZE_ITEM_ALL = 'A',
};

// The longest name a long record carries, with its NUL: a name field holds
// at most 65535 bytes, and as UTF-8 from code page 437 at most three times
// that.
constexpr size_t ZE_LONG_NAME_MAX = 196609;

// Attribute word of a listed member.
enum : uint16_t {
  ZE_ATTR_DOS_MASK = 0x37,
  ZE_ATTR_VOLUME = 0x0080,
  ZE_ATTR_ENCRYPTED = 0x8000,
};

#pragma pack(push, 1)

// What a rename callback receives: it overwrites szOutput with the name to use.
struct NAMEMAP {
  char szOutput[272];  // 0
  char szInput[260];   // 272
};

// One listed member, written by dunzip function 2.
struct MEMBERINFO {
  uint8_t reserved0[2];      // 0
  uint32_t dwSize;           // 2   uncompressed size (saturates at 0xFFFFFFFF)
  uint32_t dwCompressedSize; // 6   compressed size (saturates at 0xFFFFFFFF)
  uint32_t dwCrc32;          // 10
  uint16_t wMethod;          // 14  0 stored, 8 deflated
  uint16_t wFlags;           // 16  general-purpose flags
  uint8_t reserved18[2];     // 18
  char szDate[18];           // 20  "mm/dd/yy hh:mm"
  char szName[260];          // 38  stored name, forward slashes
  uint16_t wAttributes;      // 298 ZE_ATTR_* and DOS bits
  uint8_t reserved300[12];   // 300
};

// What a long rename callback receives (bUtf8: both texts in UTF-8).  Same
// contract as NAMEMAP; the engine allocates it once per run.
struct NAMEMAPLONG {
  char szOutput[ZE_LONG_NAME_MAX];  // 0
  char szInput[ZE_LONG_NAME_MAX];   // 196609
};

// One listed member without limits, written by dunzip function 2 when
// pMemberInfoLong is set.
struct MEMBERINFOLONG {
  uint64_t qwSize;            // 0   uncompressed size
  uint64_t qwCompressedSize;  // 8   compressed size
  uint32_t dwCrc32;           // 16
  uint16_t wMethod;           // 20  0 stored, 8 deflated
  uint16_t wFlags;            // 22  general-purpose flags
  uint16_t wAttributes;       // 24  ZE_ATTR_* and DOS bits
  char szDate[18];            // 26  "mm/dd/yy hh:mm"
  int32_t bEnd;               // 44  1: past the last member (szName empty)
  char szName[ZE_LONG_NAME_MAX];  // 48  forward slashes; bUtf8: the real name in UTF-8
};

// A listing in progress (dunzip functions 1, 2 and 4): the engine's, held
// in the caller's block.
struct ZE_LISTING;

typedef int(ZE_CALLBACK* ZE_PROGRESS)(int32_t reserved, int32_t percent, void* user);
typedef int(ZE_CALLBACK* ZE_QUERY)(int32_t code, intptr_t a1, intptr_t a2, intptr_t a3,
                                   intptr_t a4, intptr_t a5, intptr_t a6, void* user);
typedef int(ZE_CALLBACK* ZE_RENAME)(NAMEMAP* map, void* context);
typedef int(ZE_CALLBACK* ZE_RENAME_LONG)(NAMEMAPLONG* map, void* context);

// The dunzip block.
struct UNZIPCMD {
  int32_t cbSize;             // 0   sizeof(UNZIPCMD)
  int32_t nFunction;          // 4   ZE_UNZIP_*
  const char* pszZipFile;     // 8
  MEMBERINFO* pMemberInfo;    // 12  function 2
  const char* pszSpec;        // 16  function 8: member specification
  int32_t nSpanDisk;          // 20  -1: the archive is not split
  const char* pszDestDir;     // 24  function 8
  int32_t bUtf8;              // 28  1: every text of the block is UTF-8 (see below)
  MEMBERINFOLONG* pMemberInfoLong;  // 32  function 2: when set, filled instead of pMemberInfo
  ZE_LISTING* pListing;       // 36  functions 1, 2, 4: the listing; null before the first call
  uint32_t dwSystemError;     // 40  written by the engine (see below)
  uint8_t reserved44[8];      // 44
  int32_t bRecurse;           // 52  1: patterns match at any depth
  int32_t bLiteral;           // 56  1: pszSpec is a literal member list
  ZE_PROGRESS pfnProgressA;   // 60  this file, 0..100
  void* pProgressAUser;       // 64
  ZE_PROGRESS pfnProgressB;   // 68  whole run, 0..100
  void* pProgressBUser;       // 72
  int32_t nMemberCount;       // 76  function 1: written by the engine
  uint8_t reserved80[20];     // 80
  ZE_QUERY pfnQuery;          // 100
  void* pQueryUser;           // 104
  uint8_t reserved108[10];    // 108
  ZE_RENAME pfnRename;        // 118 function 8 (not aligned)
  void* pRenameContext;       // 122
  ZE_RENAME_LONG pfnRenameLong;  // 126 function 8, bUtf8 only (pfnRename is then ignored)
  uint8_t reserved130[12];    // 130
};

// The dzip block.
struct ZIPCMD {
  int32_t cbSize;             // 0   sizeof(ZIPCMD)
  int32_t nFunction;          // 4   ZE_ZIP_*
  const char* pszZipFile;     // 8
  const char* pszItems;       // 12  delete: member specification; add: add specification
  ZE_PROGRESS pfnProgressB;   // 16  whole run, 0..100
  void* pProgressBUser;       // 20
  ZE_PROGRESS pfnProgressA;   // 24  this file, 0..100
  void* pProgressAUser;       // 28
  int32_t bUtf8;              // 32  1: every text of the block is UTF-8 (see below)
  uint32_t dwSystemError;     // 36  written by the engine (see below)
  int32_t nLevel;             // 40  0 store, 1..9 deflate
  int32_t bLiteral;           // 44  delete: 1: pszItems is a literal member list
  int32_t bUseWorkDir;        // 48  1: temporary files go to pszWorkDir
  const char* pszWorkDir;     // 52  no trailing backslash
  uint8_t reserved56[16];     // 56
  int32_t bGrow;              // 72  1: append in place instead of rewriting
  uint8_t reserved76[8];      // 76
  int32_t bSetComment;        // 84  add: 1 writes pszComment as the archive comment
  const char* pszComment;     // 88
  uint8_t reserved92[20];     // 92
  int32_t bRecurse;           // 112 add: 1 adds a directory named without a trailing backslash with its contents
  const char* pszRootDir;     // 116 add: "\"source directory\"", names are relative to it when no rename callback is set
  const char* pszDropItems;   // 120 add: literal member list dropped in the same rewrite, or null
  int32_t bDirEntries;        // 124 1: directories are stored as directory entries
  uint8_t reserved128[20];    // 128
  ZE_QUERY pfnQuery;          // 148
  void* pQueryUser;           // 152
  uint8_t reserved156[12];    // 156
  ZE_RENAME pfnRename;        // 168 add
  void* pRenameContext;       // 172
  ZE_RENAME_LONG pfnRenameLong;  // 176 add, bUtf8 only (pfnRename is then ignored)
  uint8_t reserved180[8];     // 180
};

#pragma pack(pop)

// Layouts are exact where pointers are 32-bit.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(NAMEMAP) == 532 && offsetof(NAMEMAP, szInput) == 272);
static_assert(sizeof(MEMBERINFO) == 312);
static_assert(offsetof(MEMBERINFO, dwSize) == 2 && offsetof(MEMBERINFO, dwCompressedSize) == 6);
static_assert(offsetof(MEMBERINFO, szDate) == 20 && offsetof(MEMBERINFO, szName) == 38);
static_assert(offsetof(MEMBERINFO, wAttributes) == 298);
static_assert(sizeof(UNZIPCMD) == 142);
static_assert(offsetof(UNZIPCMD, pszZipFile) == 8 && offsetof(UNZIPCMD, pMemberInfo) == 12);
static_assert(offsetof(UNZIPCMD, pszSpec) == 16 && offsetof(UNZIPCMD, nSpanDisk) == 20);
static_assert(offsetof(UNZIPCMD, pszDestDir) == 24 && offsetof(UNZIPCMD, bRecurse) == 52);
static_assert(offsetof(UNZIPCMD, pfnProgressA) == 60 && offsetof(UNZIPCMD, pProgressAUser) == 64);
static_assert(offsetof(UNZIPCMD, pfnProgressB) == 68 && offsetof(UNZIPCMD, pProgressBUser) == 72);
static_assert(offsetof(UNZIPCMD, nMemberCount) == 76 && offsetof(UNZIPCMD, pfnQuery) == 100);
static_assert(offsetof(UNZIPCMD, pQueryUser) == 104 && offsetof(UNZIPCMD, pfnRename) == 118);
static_assert(offsetof(UNZIPCMD, pRenameContext) == 122 && offsetof(UNZIPCMD, bLiteral) == 56);
static_assert(sizeof(ZIPCMD) == 188);
static_assert(offsetof(ZIPCMD, pszZipFile) == 8 && offsetof(ZIPCMD, pszItems) == 12);
static_assert(offsetof(ZIPCMD, pfnProgressB) == 16 && offsetof(ZIPCMD, pProgressBUser) == 20);
static_assert(offsetof(ZIPCMD, pfnProgressA) == 24 && offsetof(ZIPCMD, pProgressAUser) == 28);
static_assert(offsetof(ZIPCMD, nLevel) == 40 && offsetof(ZIPCMD, bUseWorkDir) == 48);
static_assert(offsetof(ZIPCMD, pszWorkDir) == 52 && offsetof(ZIPCMD, bGrow) == 72);
static_assert(offsetof(ZIPCMD, bSetComment) == 84 && offsetof(ZIPCMD, pszComment) == 88);
static_assert(offsetof(ZIPCMD, bRecurse) == 112 && offsetof(ZIPCMD, pszRootDir) == 116);
static_assert(offsetof(ZIPCMD, bDirEntries) == 124 && offsetof(ZIPCMD, pfnQuery) == 148);
static_assert(offsetof(ZIPCMD, pQueryUser) == 152 && offsetof(ZIPCMD, pfnRename) == 168);
static_assert(offsetof(ZIPCMD, pRenameContext) == 172);
static_assert(offsetof(ZIPCMD, bLiteral) == 44 && offsetof(ZIPCMD, pszDropItems) == 120);
static_assert(offsetof(UNZIPCMD, bUtf8) == 28 && offsetof(UNZIPCMD, pMemberInfoLong) == 32);
static_assert(offsetof(UNZIPCMD, pfnRenameLong) == 126 && offsetof(UNZIPCMD, pListing) == 36);
static_assert(offsetof(ZIPCMD, bUtf8) == 32 && offsetof(ZIPCMD, pfnRenameLong) == 176);
static_assert(offsetof(UNZIPCMD, dwSystemError) == 40 && offsetof(ZIPCMD, dwSystemError) == 36);
static_assert(sizeof(NAMEMAPLONG) == 2 * ZE_LONG_NAME_MAX && offsetof(NAMEMAPLONG, szInput) == ZE_LONG_NAME_MAX);
static_assert(offsetof(MEMBERINFOLONG, dwCrc32) == 16 && offsetof(MEMBERINFOLONG, wAttributes) == 24);
static_assert(offsetof(MEMBERINFOLONG, szDate) == 26 && offsetof(MEMBERINFOLONG, bEnd) == 44);
static_assert(offsetof(MEMBERINFOLONG, szName) == 48 && sizeof(MEMBERINFOLONG) == 48 + ZE_LONG_NAME_MAX);
#endif

// Entry points.  Both return a ZipEngineResult and never throw.  A null
// block, a wrong cbSize, a missing archive path or an unknown function gives
// ZE_FAILED.
//
// dunzip
//   1  count: reads the central directory once and keeps it, with a position,
//      in a new listing at pListing (ending any listing there first) for the
//      function-2 calls that follow.  Blocks that carry the same pListing
//      share the listing; one listing sees the directory as it was read.
//   2  next member into *pMemberInfo, in directory order.  Without a listing
//      (pListing null) it starts one.  Past the last member it writes an
//      all-zero record (empty name), returns ZE_OK and ends the listing
//      (pListing null), so the next call starts over.  A name that does not
//      fit szName fails with ZE_FAILED (never truncated); the position still
//      moves past it.
//      With pMemberInfoLong the long record is filled instead (pMemberInfo
//      may then be null): 64-bit sizes, and a name that always fits.  Past
//      the last member it has bEnd 1 and an empty name, with the same
//      start-over rule.  A member whose name names only the top ("./")
//      comes with an empty name and bEnd 0: the caller skips it.
//   4  end the listing at pListing before its last member (pListing null).
//      A listing left neither ended nor read past its end stays allocated.
//   8  extract the members pszSpec names (bLiteral: a literal list) into
//      pszDestDir.  Every output name (pfnRename's szOutput, separators of
//      either kind) must lie inside pszDestDir and no member name may be
//      absolute or hold "..", ':' or a device name: otherwise ZE_DAMAGED
//      before anything is written.  An existing file asks
//      ZE_Q_OVERWRITE_FILE, a read-only one also ZE_Q_OVERWRITE_READONLY;
//      without a query callback files are replaced.
//      A data error (CRC, size, inflate) removes the partial file: ZE_FAILED.
// dzip
//   2  delete the members pszItems names (bLiteral: a literal list); the
//      rest is copied unchanged.
//   4  add pszItems: quoted full paths; a directory ending in a separator
//      adds its entry only, one without adds it and (bRecurse) everything
//      below.  A same-named file member asks ZE_Q_REPLACE_MEMBER (no: the
//      file is not added); directory entries are replaced without asking.
//      An unreadable file asks ZE_Q_SKIP_UNREADABLE (no, or no callback:
//      ZE_FILE_OPEN); a missing one gives ZE_NOT_FOUND.  pszDropItems names
//      members left out of the new archive, so a replace is one rewrite:
//      a new file named like a dropped member is added without asking, and
//      a dropped member that is not there is no error.  bGrow appends in
//      place unless a member is replaced or dropped.
// Both change the archive through a new file renamed over it once complete,
// so a failure leaves it as it was.
//
// dwSystemError: every run that gets past the block check sets it, to the
// system's own error (GetLastError on Windows, errno elsewhere) behind a
// failure to open, read, write, create or rename a file or directory, and
// to 0 for success and for every other failure (damaged data, a name
// refused, cancel), so a caller can name the real reason (access denied,
// disk full, path not found).
//
// bUtf8: every text of the block is UTF-8 (archive, destination, work and
// root directories, specifications, literal and drop lists, add items, the
// comment), and so is every name the engine gives back (listed names, query
// subjects, pfnRenameLong's texts): the members' real names.  On Windows
// every path then goes through the wide file API, in the long form (\\?\)
// where it is too long for the short one or the short one would change it.
// Case is ignored by Unicode upper-casing; bytes that are not UTF-8 count as
// U+FFFD.  Without bUtf8 the texts are ANSI, in the system code page.
//
// Progress callbacks are called whenever a percentage grows, which happens
// block by block while data is copied, compressed or extracted.  A nonzero
// return stops the run there with ZE_CANCELLED, treated like any failure:
// a change leaves the archive as it was (its replacement is removed, a grow
// is undone), an extraction removes the file it was writing (files already
// complete stay).  Only the 100 reported once a change is committed or an
// extraction is complete has its answer ignored: nothing is left to stop.
//
// Member specifications without bLiteral: see member_match.h.  Nothing
// matched: ZE_NOT_FOUND.
int dzip(ZIPCMD* cmd);
int dunzip(UNZIPCMD* cmd);
