#include "text.h"

#include <cwctype>

namespace zelvo {
namespace {

bool isBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

}  // namespace

std::wstring argumentText(std::wstring_view commandLine) {
  size_t pos = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    // A quoted program name ends at the closing quote, blanks inside it included.
    const size_t closing = commandLine.find(L'"', 1);
    pos = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
  } else {
    while (pos < commandLine.size() && !isBlank(commandLine[pos])) ++pos;
  }
  while (pos < commandLine.size() && isBlank(commandLine[pos])) ++pos;
  return std::wstring(commandLine.substr(pos));
}

std::wstring joinPath(std::wstring_view folder, std::wstring_view fileName, wchar_t separator) {
  std::wstring path(folder);
  if (path.empty() || path.back() != separator) path += separator;
  path += fileName;
  return path;
}

std::wstring folderOf(std::wstring_view filePath) {
  const size_t slash = filePath.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return {};
  // "C:" alone names the drive's current directory, not its root; "" would name no folder.
  if (slash == 0 || (slash == 2 && filePath[1] == L':'))
    return std::wstring(filePath.substr(0, slash + 1));
  return std::wstring(filePath.substr(0, slash));
}

std::wstring quotedIfBlank(std::wstring_view path) {
  if (path.find(L' ') == std::wstring_view::npos) return std::wstring(path);
  return L"\"" + std::wstring(path) + L"\"";
}

std::wstring driveListEntry(wchar_t letter) {
  return {static_cast<wchar_t>(std::towlower(letter)), L':'};
}

}  // namespace zelvo
