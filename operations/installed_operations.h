// The folder's operations as the namespace layer reaches them
// (folder_operations.h): each entry calls the folder's method.
#pragma once

#include "folder_operations.h"

IFolderOperations& ArchiveOperations();
