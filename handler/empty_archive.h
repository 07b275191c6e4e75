// The bytes of an archive without members: what "Copy to Zip File" starts a
// new archive with and what the shell's New menu writes for a new zip file.
#pragma once

// The 22-byte end-of-central-directory record with no entries and no
// comment.
inline constexpr unsigned char kEmptyArchive[22] = {0x50, 0x4B, 0x05, 0x06};
