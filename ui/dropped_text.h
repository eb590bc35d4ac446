// The text that files dropped on a multi-line box put into it: what a user who drops a file
// on a page's box means is the file's text, not its name.
#ifndef LANZHOU_SERVICES_DROPPED_TEXT_H_
#define LANZHOU_SERVICES_DROPPED_TEXT_H_

#include <vector>

#include "ui/dialogs.h"
#include "text/text.h"

namespace lanzhou {

// The files' texts in drop order, each decoded as every input file is (`DecodeInput`:
// GBK or UTF-8, a byte-order mark dropped), joined so that each file starts on a line of
// its own: a CR LF goes between two texts unless the first is empty or already ends a
// line. Line ends
// inside the files are left as they are; the box takes CR LF, CR and LF alike as line ends.
// A file that cannot be read is named in "无法打开文件：" + path and left out.
//   files "a\n" (UTF-8) and "\xD6\xD0" (GBK)  -> "a\n\xD6\xD0"
//   files "x" and "y"                        -> "x\r\ny"
Text ReadDroppedText(const std::vector<Text>& paths, Dialogs& dialogs);

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_DROPPED_TEXT_H_
