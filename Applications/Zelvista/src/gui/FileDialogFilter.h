#pragma once

#include <list>
#include <string>

class IFileIO;

// The filter of a file dialog from the readers' or writers' filter strings: their entries once,
// sorted, then "All Files (*.*)" and "All Supported Files (...)" as asked; selectedFilter names
// the entry the dialog opens with.
std::string buildFileDialogFilter(const std::list<const IFileIO*>& fileIOs, bool withAllFiles,
                                  bool withAllSupported, std::string* selectedFilter);
