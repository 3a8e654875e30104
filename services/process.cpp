#include "services/process.h"

#include "services/text.h"

namespace zelvo {

std::wstring programBesideUs(Process& process, std::wstring_view programName) {
  const PathStyle style = process.pathStyle();
  std::wstring fileName(programName);
  fileName += style.programSuffix;
  return joinPath(process.programFolder(), fileName, style.separator);
}

}  // namespace zelvo
