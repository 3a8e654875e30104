// Small text rules shared by the services and the programs: pure functions, tested on the host.
#pragma once

#include <string>
#include <string_view>

namespace zelvo {

// The argument text of a command line: what follows the program's name (quoted or not) and the
// blanks that separate it.
std::wstring argumentText(std::wstring_view commandLine);

// Joins a folder and a file name with one separator; a folder that already ends in one (a drive
// root such as C:\, the root /) gets no second.
std::wstring joinPath(std::wstring_view folder, std::wstring_view fileName,
                      wchar_t separator = L'\\');

// The folder of a full file path (either separator), without a trailing separator except at a
// root.
std::wstring folderOf(std::wstring_view filePath);

// A path as it must appear in a command line: in double quotes when it holds a blank, so that
// Windows never tries the shorter paths that end at the blank.
std::wstring quotedIfBlank(std::wstring_view path);

// One drive list entry: the lower-case letter and a colon.
std::wstring driveListEntry(wchar_t letter);

}  // namespace zelvo
