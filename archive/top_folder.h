// The archive root's top folder comes from the shell namespace, a layer
// above: the root lists members into it, sweeps what a listing did not
// confirm, and answers the shell's folder requests with it, aggregated.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

class CZipFile;
class CZipFolder;
struct ListingRecord;

// What the root asks of its top folder.
class IMemberTree {
 public:
  // Files one listed member under its path, folders made on the way.
  virtual void ListMember(const ListingRecord& member) = 0;
  // Drops every member the listing of that stamp did not confirm.
  virtual void Sweep(uint32_t stamp) = 0;
  // Ends the top folder; the root calls it once, as it goes.
  virtual void DestroyTopFolder() = 0;

 protected:
  ~IMemberTree() = default;
};

struct TopFolder {
  CZipFolder* folder = nullptr;  // what the layers above get from the root
  IMemberTree* tree = nullptr;
  IUnknown* inner = nullptr;     // the aggregated folder's own IUnknown
};

// Makes the top folder of root, aggregated into outer.
using TopFolderFactory = TopFolder (*)(CZipFile* root, IUnknown* outer);
// Installed once by the module as it starts (and by test programs).
void InstallTopFolderFactory(TopFolderFactory factory);
