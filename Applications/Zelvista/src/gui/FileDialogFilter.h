#pragma once

#include <QString>
#include <list>
#include <string>

class IFileIO;

// The filter of a file dialog from the readers' or writers' filter strings: their entries once,
// sorted, then "All Files (*.*)" and "All Supported Files (...)" as asked; selectedFilter names
// the entry the dialog opens with.
std::string buildFileDialogFilter(const std::list<const IFileIO*>& fileIOs, bool withAllFiles,
                                  bool withAllSupported, std::string* selectedFilter);

// The same filter in the form Qt's file dialogs match files with: patterns inside the
// parentheses separated by blanks, not ";" (Qt's own dialog splits them at blanks only).
QString qtFileDialogFilter(const std::string& filter);

// The extension a name typed without one gets under the chosen filter entry: its first
// pattern's, or none for "*.*".
QString defaultSuffixOf(const QString& filterEntry);
