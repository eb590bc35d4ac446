// The text that files dropped on a multi-line box put into it: what a user who drops a file
// on a page's box means is the file's text, not its name.
#ifndef LANZHOU_UI_DROPPED_TEXT_H_
#define LANZHOU_UI_DROPPED_TEXT_H_

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "text/text.h"
#include "ui/dialogs.h"

namespace lanzhou {

// The files' texts in drop order, each decoded as every input file is (`DecodeInput`:
// GBK, UTF-8 or UTF-16, a byte-order mark dropped), joined so that each file starts on a line of
// its own: a CR LF goes between two texts unless the first is empty or already ends a
// line. Line ends
// inside the files are left as they are; the box takes CR LF, CR and LF alike as line ends.
// A file that cannot be read or is not text (`ReadTextFile`) is named in its message and
// left out. A file's text ends where the
// rest of the program stops reading (`TextBeforeEndMark`: at a zero byte or a 0x1A).
//   files "a\n" (UTF-8) and "\xD6\xD0" (GBK)  -> "a\n\xD6\xD0"
//   files "x" and "y"                        -> "x\r\ny"
//   a file of "ab", 5000 spaces, "\0" and junk -> "ab" and the spaces
Text ReadDroppedText(const std::vector<Text>& paths, Dialogs& dialogs);

// A file that goes into the window, dropped on a box or a grid or picked through a dialog:
// its bytes as `ReadReadableFile` (io/files.h) reads them, or nullopt with `problem` set as
// there, or to "不是文本文件：" + path when the bytes are not text (`LooksLikeText`): a program,
// an image, an archive never become rows or lines.
std::optional<Bytes> ReadTextFile(const Text& path, Text* problem);

// Whether a file's bytes are text, judged from the first `kTextProbeBytes`: no zero byte there,
// and at most half of them control bytes (below 0x20 but tab, LF, VT, FF, CR and ESC; and 0x7F).
// UTF-16 with its byte-order mark is judged by its code units in the same way.
// A program, an image or an archive fails; an empty file is text.
inline constexpr std::size_t kTextProbeBytes = 4096;
bool LooksLikeText(std::string_view bytes);

// The paths in a `FilesDropped` text (ui/qt/drop_object.h), in drop order: one dropped file
// is its bare path, several are each followed by CR LF. Empty entries name no file and are
// left out.
//   DroppedPaths("/a.txt") == {"/a.txt"}; DroppedPaths("/a\r\n/b\r\n") == {"/a", "/b"}
//   DroppedPaths("/a\r\n\r\n") == {"/a"}; DroppedPaths("") == {}
TextArray DroppedPaths(const Text& event_text);

}  // namespace lanzhou

#endif  // LANZHOU_UI_DROPPED_TEXT_H_
