// Icons of members and whether their extensions show, as the shell's
// file-information query gives them for a name with the directory or the
// normal attribute.
#pragma once

struct ShellType {
  int icon = 0;
  bool hidesExtension = false;  // the user's settings hide this type's extension
};

// The type of the given name (one path component, ANSI); cached per
// extension, since the answer depends only on it and the attribute.
ShellType ShellTypeOf(const char* name, bool isFolder);

// Forgets what the shell answered, so a new listing follows the user's
// current preferences (hidden extensions, changed type icons).
void ResetShellInfoCache();
