// The context-menu verbs the shell and scripts may name.  Compared
// case-sensitively, as the menus record them.
#pragma once

inline constexpr char kVerbExtractToFolder[] = "extract_to_folder";
inline constexpr char kVerbInstall[] = "install";
inline constexpr char kVerbOpen[] = "open";
inline constexpr char kVerbCopy[] = "copy";
inline constexpr char kVerbDelete[] = "delete";
inline constexpr char kVerbProperties[] = "properties";
inline constexpr char kVerbExplore[] = "explore";
inline constexpr char kVerbCopyToZip[] = "copy_to_zip";
